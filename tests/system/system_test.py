#!/usr/bin/env python3
"""System test: the shipped PEIM and driver (its board settings set to q35's
by hdapack retarget) inside Debian's OVMF on QEMU q35, across resets, over
one variable store, with the shipped bring-up application; the shipped X64
PEIM inside OVMF whose PEI runs in 64-bit mode; and the emulated board's own
release (its profile's variants are QEMU's codecs) through codec, record and
table, boot after boot, with nothing patched.

Usage: system_test.py --release DIR --release-q35 DIR --stub-peim EFI --stub-peim-x64 EFI --stub-peim-q35 EFI
                      --hdapack EXE --work DIR [--ovmf-code FD ...] [--ovmf-x64-pei-code FD ...]
"""

import argparse
import os
import shutil
import struct
import sys
import time
import unittest
import zlib
from concurrent.futures import ThreadPoolExecutor

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import hda_emulation as emu  # noqa: E402

A195, A194 = 0xA1951458, 0xA1941458

# The board's subsystem-ID table, transcribed here on its own (not from the
# PEIM's source) so the CRC the platform PEIM reports is checked against an
# independent copy: (device, function, SVID/SSID word) in table order.
ONES = 0xFFFFFFFF
ROWS = ([(0x1F, 0, 0x50011458), (0x13, 0, 0x50001458), (0x14, 0, 0x50071458), (0x14, 1, 0x50001458),
         (0x12, 0, 0x88881458)] + [(0x15, f, ONES) for f in range(4)] +
        [(0x16, 0, 0x1C3A1458), (0x16, 1, ONES), (0x16, 4, ONES), (0x16, 2, ONES), (0x16, 3, ONES),
         (0x17, 0, 0xB0051458), (0x16, 3, ONES), (0x19, 1, ONES), (0x19, 0, ONES)] +
        [(0x1C, f, 0x50011458) for f in range(8)] + [(0x1D, f, 0x50011458) for f in range(8)] +
        [(0x1B, f, 0x50011458) for f in range(8)] + [(0x1E, f, ONES) for f in range(4)] +
        [(0x1A, 0, ONES), (0x14, 5, ONES), (0x14, 3, 0x50011458), (0x1F, 1, 0x50001458),
         (0x1F, 2, 0x50011458), (0x1F, 3, None), (0x1F, 4, 0x50011458), (0x1F, 5, ONES),
         (0x1F, 6, 0x50011458)])


# The emulated board's table (boards/QemuQ35.h), transcribed the same way.
QEMU = 0x11001AF4
Q35_ROWS = [(0x00, 0, QEMU), (0x01, 0, QEMU), (0x1F, 0, QEMU), (0x1F, 2, QEMU), (0x1F, 3, None)]
DUPLEX, OUTPUT = 0x00221AF4, 0x00121AF4  # QEMU's hda-duplex and hda-output answers, halves swapped


def expected_report(hda_word, rows=ROWS):
    table = b"".join(struct.pack("<BBBBIHHI", 0, fn, dev, 0, 0, (hda_word if word is None else word) & 0xFFFF,
                                 (hda_word if word is None else word) >> 16, 0) for dev, fn, word in rows)
    table += b"\xff" * 8 + struct.pack("<HHI", 0xFFFF, 0xFFFF, 0)
    assert len(table) == 16 * (len(rows) + 1) and (rows is not ROWS or len(ROWS) == 55)
    return "HdaSsidPolicy: SsidTable=set hda=001F0300:%08X terminator=ok crc32=%08X" % (
        hda_word, zlib.crc32(table))


NULL_REPORT = "HdaSsidPolicy: SsidTable=NULL"


class Machine:
    """The firmware images and the machines' runs, made once."""
    runs = {}

    @classmethod
    def prepare(cls, args):
        started = time.monotonic()
        work = args.work
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)
        ovmf, ovmf_x64_pei = emu.ovmf_from_arguments(args), emu.ovmf_from_arguments(args, x64_pei=True)
        firmware = emu.build_board_firmware(work, ovmf, args.release, args.stub_peim, args.hdapack)
        # PEI in 64-bit mode: the X64 PEIM and an X64 build of the platform
        # PEIM; no driver, so each record the shell stores stays for the next boot.
        x64_firmware = emu.build_firmware(
            work, ovmf_x64_pei,
            [emu.stub_peim_file(work, args.stub_peim_x64, args.hdapack, "PlatformStubPeiX64.ffs"),
             os.path.join(args.release, "HdaSsidSelectPeiX64.ffs")], [], name="OVMF_CODE_X64_PEI_HDA.fd")
        cls.image_seconds = time.monotonic() - started
        with open(firmware, "rb") as handle:
            cls.reset_vector = handle.read()[-16:]

        q35_work = os.path.join(work, "q35")
        os.makedirs(q35_work)
        q35_firmware = emu.build_board_firmware(q35_work, ovmf, args.release_q35, args.stub_peim_q35, args.hdapack)
        variables = emu.fresh_variables(work, "sequence", ovmf.variables)
        with ThreadPoolExecutor(2) as pool:
            q35 = pool.submit(cls.emulated_board, work, q35_firmware, emu.fresh_variables(work, "q35", ovmf.variables))
            sequence = pool.submit(emu.run_machine, work, "sequence", firmware, variables, [
                # boot 1: nothing stored yet; the bring-up application reports,
                # then the shell stores A195 for boot 2
                ["HdaSsidInfo.efi > info.txt", emu.store_command(A195)],
                [],                          # boot 2: A195 chosen; the driver deletes the record
                [emu.store_command(A194)],   # boot 3: nothing chosen; store A194 for boot 4
                [emu.store_command(A195)],   # boot 4: A194 chosen; leave a record for the next machines
            ], files={"HdaSsidInfo.efi": os.path.join(args.release, "HdaSsidInfo.efi")}, outputs=["info.txt"])
            x64_pei = pool.submit(emu.run_machine, work, "x64-pei", x64_firmware,
                                  emu.fresh_variables(work, "x64-pei", ovmf_x64_pei.variables),
                                  [[emu.store_command(A195)], [emu.store_command(A194)], []], controller=False)
            cls.runs["sequence"], cls.runs["x64-pei"] = sequence.result(), x64_pei.result()
            # Two more machines start from the sequence's store: one
            # controller without a codec, and no controller at all.
            no_codec = pool.submit(emu.run_machine, work, "no-codec", firmware,
                                   emu.fresh_variables(work, "no-codec", variables), [[]], codec=None)
            no_controller = pool.submit(emu.run_machine, work, "no-controller", firmware,
                                        emu.fresh_variables(work, "no-controller", variables),
                                        [["dmem FFFFFFF0 10 > vector.txt"]], controller=False,
                                        outputs=["vector.txt"])
            # A record someone else made with NV+BS only, as a shell's setvar
            # does: made in OVMF without the modules, then booted with them.
            foreign_store = emu.fresh_variables(work, "foreign", ovmf.variables)
            foreign = pool.submit(cls.foreign_record, work, ovmf, firmware, foreign_store)
            cls.runs["no-codec"], cls.runs["no-controller"] = no_codec.result(), no_controller.result()
            cls.runs["foreign"] = foreign.result()
            cls.q35_runs = q35.result()
        cls.seconds = time.monotonic() - started


    @staticmethod
    def emulated_board(work, firmware, variables):
        """One store, three machines: hda-duplex, then hda-output, then no codec."""
        return [emu.run_machine(work, "q35-%s" % (codec or "none"), firmware, variables, [[], []], codec=codec)
                for codec in ("hda-duplex", "hda-output", None)]

    @staticmethod
    def foreign_record(work, ovmf, firmware, variables):
        emu.run_machine(work, "foreign-made", ovmf.code, variables, [[emu.store_command(A195, FOREIGN)]],
                        controller=False)
        return emu.run_machine(work, "foreign", firmware, variables, [
            # after the driver: try to make such a record again, and look
            [emu.store_command(A195, FOREIGN), "dmpstore -guid %s > again.txt" % emu.VARIABLE_GUID]],
            outputs=["again.txt"])


FOREIGN = "-bs -nv"  # attributes 0x3


class ForeignRecord(unittest.TestCase):
    def test_peim_ignores_it_and_the_driver_replaces_it(self):
        boot = Machine.runs["foreign"].boots[0]
        self.assertEqual(boot.policy, NULL_REPORT, "a record of attributes 0x3 selects nothing")
        self.assertIsNone(boot.record, "the driver removed it (QEMU's codec is no known variant)")

    def test_the_variable_policy_refuses_another_such_record(self):
        again = Machine.runs["foreign"].files.get("again.txt", "")
        self.assertIn("No matching variables", again)


class EmulatedBoardProfile(unittest.TestCase):
    """The q35 profile's release: the codec's answer becomes the record,
    and the record the table, from one boot to the next."""

    def test_codec_record_and_table_follow_each_other(self):
        duplex, output, none = Machine.q35_runs
        self.assertEqual([(b.policy, b.record) for b in duplex.boots], [
            (NULL_REPORT, DUPLEX),                              # first boot: no record yet
            (expected_report(DUPLEX, Q35_ROWS), DUPLEX)])       # the Duplex table
        self.assertEqual([(b.policy, b.record) for b in output.boots], [
            (expected_report(DUPLEX, Q35_ROWS), OUTPUT),        # the codec changed: the old table, a new record
            (expected_report(OUTPUT, Q35_ROWS), OUTPUT)])       # the Output table
        self.assertEqual([(b.policy, b.record) for b in none.boots], [
            (expected_report(OUTPUT, Q35_ROWS), None),          # no codec: the record deleted
            (NULL_REPORT, None)])                               # nothing chosen

    def test_the_driver_asked_qemus_codec(self):
        for run, answer in zip(Machine.q35_runs[:2], (0x1AF40022, 0x1AF40012)):
            answers = [a.value for a in run.boots[0].probe
                       if a.region == "intel-hda" and a.kind == "read" and a.address & 0xFFF == 0x64]
            self.assertEqual(answers, [answer, answer], "vendor ID and subsystem ID")


class X64Pei(unittest.TestCase):
    def test_each_boot_selects_from_the_stored_record_in_64_bit_pei(self):
        self.assertEqual([b.policy for b in Machine.runs["x64-pei"].boots],
                         [NULL_REPORT, expected_report(A195), expected_report(A194)])


class SequenceAcrossResets(unittest.TestCase):
    def setUp(self):
        self.boots = Machine.runs["sequence"].boots

    def test_each_boot_selects_from_the_previous_boots_record(self):
        self.assertEqual([b.policy for b in self.boots],
                         [NULL_REPORT, expected_report(A195), NULL_REPORT, expected_report(A194)])

    def test_driver_deletes_the_record_for_qemus_unrecognised_codec(self):
        # QEMU's codec answers 0x1AF40022: no known variant, so every boot's
        # End of DXE leaves no record, whatever the shell stored before.
        self.assertEqual([b.record for b in self.boots], [None, None, None, None])

    def test_driver_probes_the_codec_and_restores_the_controller(self):
        for boot in self.boots:
            with self.subTest(boot=boot.number):
                probe = boot.probe
                self.assertTrue(probe, "no probe traced in this boot")
                config = [a for a in probe if a.region == "pcie-mmcfg-mmio"]
                hda = [a for a in probe if a.region == "intel-hda"]
                command_before = next(a.value for a in config if a.kind == "read" and a.size == 1)
                gctl_before = hda[0].value
                self.assertEqual((hda[0].kind, hda[0].address & 0xFFF, hda[0].size), ("read", 0x08, 4))
                self.assertEqual(hda[1].value, gctl_before | 1, "CRST set with a 32-bit write")
                verbs = [a.value for a in hda if a.kind == "write" and a.address & 0xFFF == 0x60]
                self.assertEqual(verbs, [0x000F0000, 0x001F2000])
                answers = [a.value for a in hda if a.kind == "read" and a.address & 0xFFF == 0x64]
                self.assertEqual(answers, [0x1AF40022, 0x1AF40022])
                # The last two writes put back GCTL's low byte, then the command byte.
                self.assertEqual(str(probe[-2]), "write8 0x%08X = 0x%X" % (hda[0].address, gctl_before & 0xFF))
                self.assertEqual(str(probe[-1]), "write8 0xB00FB004 = 0x%X" % command_before)


class BringUpApplication(unittest.TestCase):
    def test_finds_the_emulated_board_in_acpi_and_reports_it_as_the_driver_sees_it(self):
        info = Machine.runs["sequence"].files.get("info.txt", "")
        for expected in ("Board: ECAM base 0xB0000000 (ACPI MCFG), PM timer port 0x0608 (ACPI FADT)",
                         "configuration space at 0xB00FB000",
                         "vendor 0x8086 device 0x293E",
                         "STATESTS 0x01",
                         "codec 0: vendor ID 0x1AF40022, subsystem ID 0x1AF40022",
                         "not a known variant",
                         "Controller restored: command 0x",
                         "would delete the record",
                         "Stored record ZelHdaSsid: none"):
            self.assertIn(expected, info)
        probes = Machine.runs["sequence"].boots[0].tool_probes
        self.assertEqual(len(probes), 1)
        command_before = next(a.value for a in probes[0] if a.kind == "read" and a.size == 1)
        self.assertEqual(str(probes[0][-1]), "write8 0xB00FB004 = 0x%X" % command_before)


class NoCodec(unittest.TestCase):
    def test_no_verb_is_sent_and_the_record_is_deleted(self):
        boot = Machine.runs["no-codec"].boots[0]
        self.assertEqual(boot.policy, expected_report(A195), "the record was there at PEI")
        self.assertIsNone(boot.record)
        statests = [a for a in boot.probe if a.region == "intel-hda" and a.size == 1 and a.kind == "read"]
        self.assertEqual([a.value for a in statests], [0])
        self.assertFalse([a for a in boot.probe if a.region == "intel-hda" and a.address & 0xFFF == 0x60])
        self.assertEqual(str(boot.probe[-1]), "write8 0xB00FB004 = 0x0")


class NoController(unittest.TestCase):
    def test_guard_touches_nothing_keeps_the_record_and_boot_goes_on(self):
        run = Machine.runs["no-controller"]
        boot = run.boots[0]
        self.assertEqual(boot.policy, expected_report(A195))
        self.assertEqual(boot.record, A195, "nothing could be examined, so the record stays")
        self.assertIn(emu.VARIABLE_NAME, boot.dump, "the boot went on to the shell")
        writes = [a for a in run.accesses if a.kind == "write"]
        self.assertFalse([a for a in writes if a.region in ("system.flash0", "intel-hda")], writes)
        self.assertFalse([a for a in writes if a.address == emu.ECAM_HDA + 4 and a.size == 1])
        vector = run.files.get("vector.txt", "")
        self.assertIn(" ".join("%02X" % b for b in Machine.reset_vector[:8]), vector.upper(),
                      "the flash still reads its reset vector")


def main():
    parser = argparse.ArgumentParser()
    for option in ("--release", "--release-q35", "--stub-peim", "--stub-peim-x64", "--stub-peim-q35", "--hdapack",
                   "--work"):
        parser.add_argument(option, required=True)
    emu.add_ovmf_arguments(parser)
    emu.add_ovmf_arguments(parser, x64_pei=True)
    args = parser.parse_args()
    Machine.prepare(args)
    for name, run in list(Machine.runs.items()) + [("q35-" + str(i), r) for i, r in enumerate(Machine.q35_runs)]:
        print("%s: %.1f s in all; boots to the shell: %s" % (
            name, run.seconds, ", ".join("%.1f s" % b.seconds for b in run.boots)))
    print("firmware image built in %.1f s; whole system test %.1f s" % (Machine.image_seconds, Machine.seconds))
    result = unittest.main(argv=[sys.argv[0], "-v"], exit=False).result
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
