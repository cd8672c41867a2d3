// UEFI base types, status codes and GUIDs as the UEFI 2.x specification lays
// them out (section 2.3.1 "Data Types", appendix D "Status Codes").
#pragma once

#include <stddef.h>
#include <stdint.h>

typedef uint8_t UINT8;
typedef uint16_t UINT16;
typedef uint32_t UINT32;
typedef uint64_t UINT64;
typedef uintptr_t UINTN;
typedef intptr_t INTN;
typedef uint8_t BOOLEAN;
typedef char16_t CHAR16;
typedef void VOID;

typedef UINTN EFI_STATUS;
typedef VOID *EFI_HANDLE;
typedef VOID *EFI_EVENT;
typedef UINTN EFI_TPL;

// EFIAPI is the Microsoft x64 convention on x64 and the C convention on IA32.
// The windows targets use those by default; a 64-bit host build (tests) has to
// ask for it so that modules and fake services meet as they do in firmware.
#if defined(__x86_64__) && !defined(_WIN32)
#define EFIAPI __attribute__((ms_abi))
#else
#define EFIAPI
#endif

struct EFI_GUID {
  UINT32 Data1;
  UINT16 Data2;
  UINT16 Data3;
  UINT8 Data4[8];
};
static_assert(sizeof(EFI_GUID) == 16);

namespace efi_guid_text {
void Malformed();  // not constexpr: reaching it stops compilation

consteval UINT32 Hex(const char *Text, unsigned Digits) {
  UINT32 Value = 0;
  for (unsigned I = 0; I < Digits; ++I) {
    const char C = Text[I];
    const UINT32 Digit = C >= '0' && C <= '9'   ? C - '0'
                         : C >= 'A' && C <= 'F' ? C - 'A' + 10
                         : C >= 'a' && C <= 'f' ? C - 'a' + 10
                                                : 16;
    if (Digit == 16) {
      Malformed();
    }
    Value = Value << 4 | Digit;
  }
  return Value;
}
}  // namespace efi_guid_text

// An EFI_GUID from its registry form, "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx",
// at compile time; a malformed text does not compile.
consteval EFI_GUID EfiGuid(const char (&Text)[37]) {
  using efi_guid_text::Hex;
  if (Text[8] != '-' || Text[13] != '-' || Text[18] != '-' || Text[23] != '-') {
    efi_guid_text::Malformed();
  }
  return {Hex(Text, 8),
          static_cast<UINT16>(Hex(Text + 9, 4)),
          static_cast<UINT16>(Hex(Text + 14, 4)),
          {static_cast<UINT8>(Hex(Text + 19, 2)), static_cast<UINT8>(Hex(Text + 21, 2)),
           static_cast<UINT8>(Hex(Text + 24, 2)), static_cast<UINT8>(Hex(Text + 26, 2)),
           static_cast<UINT8>(Hex(Text + 28, 2)), static_cast<UINT8>(Hex(Text + 30, 2)),
           static_cast<UINT8>(Hex(Text + 32, 2)), static_cast<UINT8>(Hex(Text + 34, 2))}};
}

constexpr bool operator==(const EFI_GUID &A, const EFI_GUID &B) {
  if (A.Data1 != B.Data1 || A.Data2 != B.Data2 || A.Data3 != B.Data3) {
    return false;
  }
  for (UINTN I = 0; I < 8; ++I) {
    if (A.Data4[I] != B.Data4[I]) {
      return false;
    }
  }
  return true;
}

constexpr EFI_STATUS EFI_ERROR_BIT = EFI_STATUS{1} << (sizeof(EFI_STATUS) * 8 - 1);
constexpr EFI_STATUS EfiErrorCode(EFI_STATUS Code) { return EFI_ERROR_BIT | Code; }
constexpr bool EFI_ERROR(EFI_STATUS Status) { return (Status & EFI_ERROR_BIT) != 0; }

constexpr EFI_STATUS EFI_SUCCESS = 0;
constexpr EFI_STATUS EFI_INVALID_PARAMETER = EfiErrorCode(2);
constexpr EFI_STATUS EFI_UNSUPPORTED = EfiErrorCode(3);
constexpr EFI_STATUS EFI_BUFFER_TOO_SMALL = EfiErrorCode(5);
constexpr EFI_STATUS EFI_DEVICE_ERROR = EfiErrorCode(7);
constexpr EFI_STATUS EFI_OUT_OF_RESOURCES = EfiErrorCode(9);
constexpr EFI_STATUS EFI_NOT_FOUND = EfiErrorCode(14);
constexpr EFI_STATUS EFI_TIMEOUT = EfiErrorCode(18);
constexpr EFI_STATUS EFI_SECURITY_VIOLATION = EfiErrorCode(26);
constexpr EFI_STATUS EFI_WARN_BUFFER_TOO_SMALL = 4;

// UEFI variable attributes (UEFI 2.x, 8.2 "Variable Services").
constexpr UINT32 EFI_VARIABLE_NON_VOLATILE = 0x00000001;
constexpr UINT32 EFI_VARIABLE_BOOTSERVICE_ACCESS = 0x00000002;
constexpr UINT32 EFI_VARIABLE_RUNTIME_ACCESS = 0x00000004;
// A variable written with any of these can only be changed or deleted with a
// signed payload.
constexpr UINT32 EFI_VARIABLE_AUTHENTICATED_WRITE_ACCESS = 0x00000010;
constexpr UINT32 EFI_VARIABLE_TIME_BASED_AUTHENTICATED_WRITE_ACCESS = 0x00000020;
constexpr UINT32 EFI_VARIABLE_ENHANCED_AUTHENTICATED_ACCESS = 0x00000080;
