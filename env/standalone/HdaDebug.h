// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// Debug output of the standalone images: none. DEBUG ((Level, Format, ...))
// is EDK2's form (MdePkg/Include/Library/DebugLib.h); here, as in an EDK2
// RELEASE build, it compiles to nothing, though its arguments stay checked
// and referenced. An EDK2 DEBUG build prints through the platform's
// DebugLib (env/edk2/HdaDebug.h).
//
// The format is checked against the arguments at compile time, by EDK2
// PrintLib's rules: %d %i %u %x %X take a value of at most 32 bits, the same
// with l or L one of 64 bits, %r a RETURN_STATUS (UINTN), %p and %g a
// pointer, %a a CHAR8 string, %s and %S a CHAR16 string. A UINTN is 32 bits
// in IA32 PEI and 64 in X64, so the IA32 and X64 builds together catch a
// UINTN printed with either width; a mismatch stops the build with
// HdaDebugFormatDoesNotMatchItsArguments in the message.
#pragma once

#include "HdaUefiBase.h"

constexpr UINTN DEBUG_WARN = 0x00000002;
constexpr UINTN DEBUG_INFO = 0x00000040;
constexpr UINTN DEBUG_ERROR = 0x80000000;

namespace hda_debug {

template <typename T> struct Decayed { using Type = T; };
template <typename T, UINTN N> struct Decayed<T[N]> { using Type = T *; };
template <typename T> struct Decayed<const T> : Decayed<T> {};
template <typename A, typename B> inline constexpr bool kSame = false;
template <typename A> inline constexpr bool kSame<A, A> = true;
template <typename T> struct Pointee { using Type = void; };
template <typename T> struct Pointee<T *> { using Type = T; };
template <typename T> struct Pointee<const T *> { using Type = T; };

// What an argument is, as PrintLib reads it: 'i' an integer of at most 32
// bits, 'l' one of 64, 'a' a CHAR8 string, 's' a CHAR16 string, 'p' another
// pointer, '?' anything else.
template <typename T> consteval char KindOf() {
  using V = typename Decayed<T>::Type;
  if constexpr (requires(V Value) { Value % 2; }) {
    return sizeof(V) <= 4 ? 'i' : sizeof(V) == 8 ? 'l' : '?';
  } else if constexpr (requires(V Value) { *Value; }) {
    using P = typename Pointee<V>::Type;
    return kSame<P, CHAR8> ? 'a' : kSame<P, CHAR16> ? 's' : 'p';
  } else {
    return '?';
  }
}

constexpr char kUintn = sizeof(UINTN) == 8 ? 'l' : 'i';

// Whether each conversion of Format takes the next argument's kind, and
// the conversions take all of them.
template <UINTN Count> consteval bool Matches(const char *Format, const char (&Kinds)[Count]) {
  UINTN Next = 0;
  for (const char *At = Format; *At != '\0'; ++At) {
    if (*At != '%') {
      continue;
    }
    bool Long = false;
    for (++At; *At == '-' || *At == '+' || *At == ' ' || *At == ',' || *At == '#' || *At == '.' || *At == '*' ||
               *At == 'l' || *At == 'L' || (*At >= '0' && *At <= '9');
         ++At) {
      Long = Long || *At == 'l' || *At == 'L';
      if (*At == '*' && (Next >= Count - 1 || Kinds[Next++] != kUintn)) {
        return false;
      }
    }
    char Wanted = 0;
    switch (*At) {
      case '%':
        continue;
      case 'd': case 'i': case 'u': case 'x': case 'X': case 'c':
        Wanted = Long ? 'l' : 'i';
        break;
      case 'r':
        Wanted = kUintn;
        break;
      case 'p': case 'g': case 't':
        Wanted = 'p';
        break;
      case 'a':
        Wanted = 'a';
        break;
      case 's': case 'S':
        Wanted = 's';
        break;
      default:
        return false;  // a conversion PrintLib does not know, or a '%' at the end
    }
    if (Next >= Count - 1) {
      return false;
    }
    const char Given = Kinds[Next++];
    if (Given != Wanted && !(Wanted == 'p' && (Given == 'a' || Given == 's'))) {
      return false;
    }
  }
  return Next == Count - 1;
}

void HdaDebugFormatDoesNotMatchItsArguments();  // not constexpr: reaching it stops the build

template <typename T> struct Identity { using Type = T; };

template <typename... Arguments> struct Format {
  template <UINTN N> consteval Format(const char (&Text)[N]) {
    constexpr char Kinds[] = {KindOf<Arguments>()..., '\0'};
    if (!Matches(Text, Kinds)) {
      HdaDebugFormatDoesNotMatchItsArguments();
    }
  }
};

}  // namespace hda_debug

template <typename... Arguments>
constexpr VOID HdaDebugDiscard(UINTN, hda_debug::Format<typename hda_debug::Identity<Arguments>::Type...>,
                               const Arguments &...) {}

#define DEBUG(Expression)        \
  do {                           \
    if (false) {                 \
      HdaDebugDiscard Expression; \
    }                            \
  } while (false)
