// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// The application's memset: clang zeroes its larger locals with a call to
// memset, and no library is linked into the image. The bytes are written
// through a volatile pointer so the loop is not itself turned back into a
// call to memset. Host builds take the C library's.

extern "C" void *memset(void *Destination, int Value, decltype(sizeof 0) Count) {
  volatile unsigned char *Byte = static_cast<volatile unsigned char *>(Destination);
  while (Count-- != 0) {
    *Byte++ = static_cast<unsigned char>(Value);
  }
  return Destination;
}
