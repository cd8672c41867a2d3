#!/usr/bin/env python3
# Copyright (c) 2026, HdaSsid contributors. All rights reserved.
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""The OVMF insertion tool on Debian's OVMF image: files land intact and
aligned, and images or files it cannot handle are refused with a message and
no output.

Usage: ovmf_insert_test.py RELEASE_DIR SCRATCH_DIR
"""

import os
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import ovmf_insert  # noqa: E402

RELEASE, SCRATCH = sys.argv[1], sys.argv[2]
CODE = "/usr/share/OVMF/OVMF_CODE_4M.fd"


def read(path):
    with open(path, "rb") as handle:
        return handle.read()


class Insert(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(SCRATCH, ignore_errors=True)
        os.makedirs(SCRATCH)
        cls.peim = read(os.path.join(RELEASE, "HdaSsidSelectPei.ffs"))
        cls.driver = read(os.path.join(RELEASE, "HdaSsidDetectDxe.ffs"))
        cls.original = ovmf_insert.OvmfImage(read(CODE))
        cls.out = os.path.join(SCRATCH, "inserted.fd")
        status = ovmf_insert.main(["--code", CODE, "--out", cls.out, "--pei", os.path.join(RELEASE, "HdaSsidSelectPei.ffs"),
                                   "--dxe", os.path.join(RELEASE, "HdaSsidDetectDxe.ffs")])
        assert status == 0
        cls.result = ovmf_insert.OvmfImage(read(cls.out))

    def find(self, volume, blob):
        """Where blob lies in volume, its state stored for the volume's erase
        polarity (0x07 in the file, 0xF8 in OVMF's volumes)."""
        placed = bytearray(blob)
        placed[23] = 0xF8
        for at, size, _ in volume.files():
            start = volume.offset + at
            if bytes(volume.data[start:start + size]) == placed:
                return at
        self.fail("file not found in the volume")

    def test_files_land_intact_after_the_existing_ones(self):
        for volume, before, blob in ((self.result.pei, self.original.pei, self.peim),
                                     (self.result.dxe, self.original.dxe, self.driver)):
            at = self.find(volume, blob)
            self.assertGreaterEqual(at, before.free_start())
            kept = before.free_start()
            self.assertEqual(volume.data[volume.offset:volume.offset + kept],
                             before.data[before.offset:before.offset + kept], "existing files untouched")
            self.assertEqual(volume.length, before.length)

    def test_peim_data_alignment_is_honoured(self):
        at = self.find(self.result.pei, self.peim)
        self.assertEqual(at % 8, 0)
        self.assertEqual((at + 24) % 128, 0, "the file asks for 128-byte data alignment")

    def test_independent_parser_reads_the_new_image_without_complaint(self):
        report = subprocess.run(["UEFIExtract", self.out, "report"], capture_output=True, text=True, cwd=SCRATCH)
        complaints = [line for line in report.stdout.splitlines() if "Volume Top File" not in line]
        self.assertEqual(complaints, [])
        with open(self.out + ".report.txt") as handle:
            text = handle.read()
        self.assertIn("HdaSsidSelectPei", text)
        self.assertIn("HdaSsidDetectDxe", text)


class Refuse(unittest.TestCase):
    def run_tool(self, name, *extra):
        out = os.path.join(SCRATCH, name)
        if os.path.exists(out):
            os.remove(out)
        result = subprocess.run([sys.executable, os.path.join(os.path.dirname(ovmf_insert.__file__),
                                                              "ovmf_insert.py"), "--out", out, *extra],
                                capture_output=True, text=True)
        self.assertNotEqual(result.returncode, 0)
        self.assertFalse(os.path.exists(out), "no output on failure")
        return result.stderr

    def test_an_image_that_is_not_ovmf(self):
        junk = os.path.join(SCRATCH, "junk.fd")
        with open(junk, "wb") as handle:
            handle.write(b"\x00" * 65536)
        self.assertIn("not an OVMF code image", self.run_tool("junk-out.fd", "--code", junk))

    def test_a_volume_without_room(self):
        big = os.path.join(SCRATCH, "big.ffs")
        size = 0x100000  # more than the PEI volume's free space
        header = bytearray(b"\x11" * 16) + bytearray([0, 0xAA, 0x06, 0]) + size.to_bytes(3, "little") + b"\xf8"
        header[16] = ovmf_insert.header_checksum(header)
        with open(big, "wb") as handle:
            handle.write(bytes(header) + b"\x00" * (size - 24))
        self.assertIn("no room", self.run_tool("big-out.fd", "--code", CODE, "--pei", big))

    def test_a_peim_built_for_the_other_pei_mode(self):
        x64_pei_code = os.path.join(os.path.dirname(CODE), "OVMF_CODE.fd")  # OVMF whose PEI runs X64 code
        for code, peim, complaint in ((CODE, "HdaSsidSelectPeiX64.ffs", "holds an image for X64, but this "
                                       "firmware's PEI runs IA32 code"),
                                      (x64_pei_code, "HdaSsidSelectPei.ffs", "holds an image for IA32")):
            self.assertIn(complaint, self.run_tool("other-mode.fd", "--code", code,
                                                   "--pei", os.path.join(RELEASE, peim)))

    def test_a_damaged_firmware_file(self):
        for offset, flip, complaint in ((16, 0xFF, "bad header checksum"), (23, 0x10, "not that of a valid file")):
            damaged = bytearray(read(os.path.join(RELEASE, "HdaSsidSelectPei.ffs")))
            damaged[offset] ^= flip
            path = os.path.join(SCRATCH, "damaged.ffs")
            with open(path, "wb") as handle:
                handle.write(damaged)
            self.assertIn(complaint, self.run_tool("damaged-out.fd", "--code", CODE, "--pei", path))


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
