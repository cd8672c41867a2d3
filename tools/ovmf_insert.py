#!/usr/bin/env python3
# Copyright (c) 2026, HdaSsid contributors. All rights reserved.
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""Insert PI firmware files into a copy of an OVMF code image (OVMF_CODE*.fd).

OVMF keeps its PEI and DXE volumes (PEIFV, DXEFV) inside one LZMA-compressed
GUIDed section of a file in FVMAIN_COMPACT, in the 4 MB images (PEI runs
IA32 code) and the 2 MB ones (PEI runs X64 code) alike. This tool
decompresses that section, appends the given firmware files to the free space
of the PEI or DXE volume (8-byte aligned, with a pad file where a file's
data-alignment attribute asks for one, the state stored for the volume's
erase polarity), recompresses, and rewrites the enclosing file and its header
checksum. A PEI module built for the other PEI mode is refused. It can also
copy named PEIMs byte for byte from another OVMF image of the same layout (for
example the PEI variable modules of the secure-boot build). Anything it does
not recognise is refused with the reason, and nothing is written.

Usage:
  ovmf_insert.py --code OVMF_CODE_4M.fd --out my.fd [--pei FILE.ffs]...
                 [--dxe FILE.ffs]... [--copy-pei-from OTHER.fd --copy-pei NAME]...
"""

import argparse
import lzma
import os
import struct
import sys
import uuid

FVH_SIGNATURE = b"_FVH"
FFS2_GUID = uuid.UUID("8C8CE578-8A3D-4F1C-9935-896185C32DD3").bytes_le
FFS3_GUID = uuid.UUID("5473C07A-3DCB-4DCA-BD6F-1E9689E7349A").bytes_le
LZMA_SECTION_GUID = uuid.UUID("EE4E5898-3914-4259-9D6E-DC7BD79403CF").bytes_le

FILE_HEADER_SIZE = 24
FILE_TYPE_PEI_CORE = 0x04
FILE_TYPE_DXE_CORE = 0x05
FILE_TYPE_PEIM = 0x06
FILE_TYPE_PAD = 0xF0
SECTIONED_FILE_TYPES = range(0x02, 0x0E)  # FREEFORM .. MM_CORE_STANDALONE
FILE_ATTRIB_CHECKSUM = 0x40
# A valid file's state as GenFfs writes it (header construction, header
# valid, data valid); a volume with erase polarity 1 stores it inverted.
FILE_STATE_VALID = 0x07
SECTION_GUID_DEFINED = 0x02
SECTION_USER_INTERFACE = 0x15
SECTION_FV_IMAGE = 0x17
FFS_ALIGNMENTS = (1, 16, 128, 512, 1024, 4096, 32768, 65536)


class ImageError(Exception):
    """The image is not one this tool understands, or has no room."""


def align(value, alignment):
    return (value + alignment - 1) // alignment * alignment


def u24(data, offset):
    return data[offset] | data[offset + 1] << 8 | data[offset + 2] << 16


def header_checksum(header):
    """8-bit checksum byte that makes the header sum to 0, with the file
    checksum and State counted as 0."""
    total = sum(header[:FILE_HEADER_SIZE]) - header[16] - header[17] - header[23]
    return (-total) & 0xFF


def volumes(data):
    """(offset, length) of the firmware volumes laid back to back in data."""
    found, offset = [], 0
    while offset + 56 <= len(data) and data[offset + 40:offset + 44] == FVH_SIGNATURE:
        length = struct.unpack_from("<Q", data, offset + 32)[0]
        if length == 0 or offset + length > len(data):
            raise ImageError("firmware volume at 0x%x has a bad length" % offset)
        found.append((offset, length))
        offset += length
    return found


class Volume:
    """An FFS2/FFS3 volume in a bytearray, edited in place."""

    def __init__(self, data, offset, length):
        self.data, self.offset, self.length = data, offset, length
        if data[offset + 16:offset + 32] not in (FFS2_GUID, FFS3_GUID):
            raise ImageError("volume at 0x%x is not an FFS2/FFS3 volume" % offset)
        attributes = struct.unpack_from("<I", data, offset + 44)[0]
        self.erased = 0xFF if attributes & 0x800 else 0x00  # EFI_FVB2_ERASE_POLARITY
        header_length, _, ext_offset = struct.unpack_from("<HHH", data, offset + 48)
        self.first_file = header_length
        if ext_offset:
            ext_size = struct.unpack_from("<I", data, offset + ext_offset + 16)[0]
            self.first_file = ext_offset + ext_size
        self.first_file = align(self.first_file, 8)

    def files(self):
        """(offset within the volume, size, type) of each file, in order."""
        found, at = [], self.first_file
        while at + FILE_HEADER_SIZE <= self.length:
            start = self.offset + at
            header = self.data[start:start + FILE_HEADER_SIZE]
            if header == bytes([self.erased]) * FILE_HEADER_SIZE:
                break
            if header[19] & 0x01:
                raise ImageError("large files (FFS3) are not supported")
            size = u24(header, 20)
            if size < FILE_HEADER_SIZE or at + size > self.length:
                raise ImageError("file at 0x%x of volume 0x%x has a bad size" % (at, self.offset))
            found.append((at, size, header[18]))
            at = align(at + size, 8)
        return found

    def free_start(self):
        files = self.files()
        return align(files[-1][0] + files[-1][1], 8) if files else self.first_file

    def stored_state(self):
        """A valid file's state byte as this volume stores it."""
        return FILE_STATE_VALID ^ self.erased

    def append(self, ffs, name):
        """Places a firmware file in the free space, honouring its
        data-alignment attribute with a pad file and storing its state for
        the volume's erase polarity."""
        at = self.free_start()
        data_alignment = FFS_ALIGNMENTS[(ffs[19] >> 3) & 7]
        if (at + FILE_HEADER_SIZE) % data_alignment:
            pad = FILE_HEADER_SIZE
            while (at + pad + FILE_HEADER_SIZE) % data_alignment:
                pad += 8
            self._write(at, pad_file(pad, self.erased), name)
            at += pad
        self._write(at, ffs, name)

    def _write(self, at, blob, name):
        if at + len(blob) > self.length:
            raise ImageError("no room for %s: %d bytes needed at 0x%x, volume 0x%x holds 0x%x"
                             % (name, len(blob), at, self.offset, self.length))
        start = self.offset + at
        if self.data[start:start + len(blob)] != bytes([self.erased]) * len(blob):
            raise ImageError("free space of volume 0x%x is not erased" % self.offset)
        self.data[start:start + len(blob)] = blob
        self.data[start + 23] = self.stored_state()


def pad_file(size, erased):
    header = bytearray(b"\xff" * 16) + bytearray(8)
    header[18] = FILE_TYPE_PAD
    header[20:23] = size.to_bytes(3, "little")
    header[16] = header_checksum(header)
    header[17] = 0xAA
    return bytes(header) + bytes([erased]) * (size - FILE_HEADER_SIZE)


def sections(data, start, end):
    """(offset, size, type, header size) of the sections between start and
    end; a size field of all ones means a 32-bit extended size follows."""
    found, at = [], start
    while at + 4 <= end:
        size, header = u24(data, at), 4
        if size == 0xFFFFFF:
            size, header = struct.unpack_from("<I", data, at + 4)[0], 8
        if size < header or at + size > end:
            raise ImageError("section at 0x%x has a bad size" % at)
        found.append((at, size, data[at + 3], header))
        at = align(at + size, 4)
    return found


def check_file(ffs, name):
    """A firmware file as built (state 0x07) or as an erase-polarity-1
    volume holds it (0xF8), with a sound header."""
    if len(ffs) < FILE_HEADER_SIZE or u24(ffs, 20) != len(ffs):
        raise ImageError("%s is not a firmware file (size field does not match)" % name)
    if header_checksum(ffs) != ffs[16]:
        raise ImageError("%s has a bad header checksum" % name)
    if ffs[23] not in (FILE_STATE_VALID, FILE_STATE_VALID ^ 0xFF):
        raise ImageError("%s has state 0x%02X, not that of a valid file (0x07, or 0xF8 in an "
                         "erase-polarity-1 volume)" % (name, ffs[23]))


MACHINES = {0x014C: "IA32", 0x8664: "X64"}
SECTION_PE32, SECTION_TE = 0x10, 0x12


def image_machine(data, file_offset, size):
    """The machine type of the PE32 or TE image a firmware file carries, or
    None when it carries none (or its sections cannot be read)."""
    try:
        found = sections(data, file_offset + FILE_HEADER_SIZE, file_offset + size)
    except ImageError:
        return None
    for at, section_size, kind, header in found:
        image = at + header
        if kind == SECTION_TE and data[image:image + 2] == b"VZ" and image + 4 <= at + section_size:
            return struct.unpack_from("<H", data, image + 2)[0]
        if kind == SECTION_PE32 and data[image:image + 2] == b"MZ" and image + 0x40 <= at + section_size:
            pe = image + struct.unpack_from("<I", data, image + 0x3C)[0]
            if pe + 6 <= at + section_size and data[pe:pe + 4] == b"PE\0\0":
                return struct.unpack_from("<H", data, pe + 4)[0]
    return None


def ui_name(data, file_offset, size):
    for at, section_size, kind, header in sections(data, file_offset + FILE_HEADER_SIZE, file_offset + size):
        if kind == SECTION_USER_INTERFACE:
            return data[at + header:at + section_size].decode("utf-16-le").rstrip("\0")
    return None


class OvmfImage:
    """An OVMF code image opened down to its PEI and DXE volumes."""

    def __init__(self, image):
        self.image = bytearray(image)
        found = volumes(self.image)
        if not found:
            raise ImageError("no firmware volume at the start of the image: not an OVMF code image")
        self.compact = Volume(self.image, *found[0])
        files = self.compact.files()
        if not files:
            raise ImageError("FVMAIN_COMPACT holds no file")
        self.file_offset, self.file_size, _ = files[0]
        if len(files) != 1:
            raise ImageError("FVMAIN_COMPACT holds more than the compressed volume file")
        start = self.compact.offset + self.file_offset
        guided = [s for s in sections(self.image, start + FILE_HEADER_SIZE, start + self.file_size)
                  if s[2] == SECTION_GUID_DEFINED]
        if len(guided) != 1 or self.image[guided[0][0] + 4:guided[0][0] + 20] != LZMA_SECTION_GUID:
            raise ImageError("FVMAIN_COMPACT's file has no LZMA-compressed section")
        self.section_offset, self.section_size, _, header = guided[0]
        if header != 4:
            raise ImageError("FVMAIN_COMPACT's compressed section is too large")
        data_offset = struct.unpack_from("<H", self.image, self.section_offset + 20)[0]
        compressed = bytes(self.image[self.section_offset + data_offset:self.section_offset + self.section_size])
        try:
            self.stream = bytearray(lzma.decompress(compressed, format=lzma.FORMAT_ALONE))
        except lzma.LZMAError as error:
            raise ImageError("the compressed volumes do not decompress: %s" % error)
        self.pei = self.dxe = None
        for at, size, kind, header in sections(self.stream, 0, len(self.stream)):
            if kind != SECTION_FV_IMAGE:
                continue
            volume = Volume(self.stream, at + header, size - header)
            types = {t for _, _, t in volume.files()}
            if FILE_TYPE_PEI_CORE in types:
                self.pei = volume
            elif FILE_TYPE_DXE_CORE in types:
                self.dxe = volume
        if self.pei is None or self.dxe is None:
            raise ImageError("the compressed stream holds no PEI and DXE volumes")
        core = next((at, size) for at, size, kind in self.pei.files() if kind == FILE_TYPE_PEI_CORE)
        self.pei_machine = image_machine(self.stream, self.pei.offset + core[0], core[1])
        if self.pei_machine not in MACHINES:
            raise ImageError("the PEI core is neither an IA32 nor an X64 image")

    def append_pei(self, ffs, name):
        """Places a PEI module, refusing one built for the other PEI mode."""
        machine = image_machine(ffs, 0, len(ffs))
        if machine is not None and machine != self.pei_machine:
            raise ImageError("%s holds an image for %s, but this firmware's PEI runs %s code" % (
                name, MACHINES.get(machine, "0x%04X" % machine), MACHINES[self.pei_machine]))
        self.pei.append(ffs, name)

    def find_pei_file(self, name):
        for at, size, kind in self.pei.files():
            start = self.pei.offset + at
            if kind in SECTIONED_FILE_TYPES and ui_name(self.stream, start, size) == name:
                return bytes(self.stream[start:start + size])
        raise ImageError("no PEI module named %s" % name)

    def build(self):
        """The image with the volumes recompressed into FVMAIN_COMPACT."""
        compressed = bytearray(lzma.compress(bytes(self.stream), format=lzma.FORMAT_ALONE, filters=[
            {"id": lzma.FILTER_LZMA1, "preset": 6, "dict_size": 1 << 22}]))
        # The writer may leave "size unknown" (-1); OVMF's decoder needs it.
        compressed[5:13] = struct.pack("<Q", len(self.stream))
        old = self.image[self.section_offset:self.section_offset + self.section_size]
        data_offset = struct.unpack_from("<H", old, 20)[0]
        section = bytearray(old[:data_offset]) + compressed
        if len(section) > 0xFFFFFF:
            raise ImageError("recompressed section too large")
        section[0:3] = len(section).to_bytes(3, "little")

        file_start = self.compact.offset + self.file_offset
        before = self.image[file_start:self.section_offset]
        after = self.image[self.section_offset + self.section_size:file_start + self.file_size]
        new_file = bytearray(before) + section + after
        new_file[20:23] = len(new_file).to_bytes(3, "little")
        new_file[16] = header_checksum(new_file)
        if new_file[19] & FILE_ATTRIB_CHECKSUM:
            new_file[17] = (-sum(new_file[FILE_HEADER_SIZE:])) & 0xFF
        if self.file_offset + len(new_file) > self.compact.length:
            raise ImageError("no room in FVMAIN_COMPACT for the recompressed volumes")
        out = bytearray(self.image)
        end = self.compact.offset + self.compact.length
        out[file_start:end] = new_file + b"\xff" * (end - file_start - len(new_file))
        return bytes(out)


def read(path):
    try:
        with open(path, "rb") as handle:
            return handle.read()
    except OSError as error:
        raise ImageError("cannot read %s: %s" % (path, error.strerror))


def insert(code, pei_files=(), dxe_files=(), copy_from=None, copy_names=()):
    """Returns the code image with the given files added."""
    image = OvmfImage(code)
    if copy_names:
        donor = OvmfImage(copy_from)
        for name in copy_names:
            image.append_pei(donor.find_pei_file(name), name)
    for name, ffs in pei_files:
        check_file(ffs, name)
        image.append_pei(ffs, name)
    for name, ffs in dxe_files:
        check_file(ffs, name)
        image.dxe.append(ffs, name)
    return image.build()


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--code", required=True, help="OVMF code image to start from")
    parser.add_argument("--out", required=True, help="where to write the new image")
    parser.add_argument("--pei", action="append", default=[], help="firmware file for the PEI volume")
    parser.add_argument("--dxe", action="append", default=[], help="firmware file for the DXE volume")
    parser.add_argument("--copy-pei-from", help="OVMF image to copy PEI modules from")
    parser.add_argument("--copy-pei", action="append", default=[], help="UI name of a PEI module to copy")
    args = parser.parse_args(argv)
    try:
        if args.copy_pei and not args.copy_pei_from:
            raise ImageError("--copy-pei needs --copy-pei-from")
        result = insert(read(args.code),
                        [(p, read(p)) for p in args.pei], [(p, read(p)) for p in args.dxe],
                        read(args.copy_pei_from) if args.copy_pei_from else None, args.copy_pei)
        partial = args.out + ".partial"
        with open(partial, "wb") as handle:
            handle.write(result)
        os.replace(partial, args.out)
    except ImageError as error:
        print("ovmf_insert: %s" % error, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
