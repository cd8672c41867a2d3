#!/usr/bin/env python3
# Copyright (c) 2026, HdaSsid contributors. All rights reserved.
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""System test: the configured board's shipped PEIM and driver (the driver
set to q35's platform settings by hdapack retarget where its own differ)
inside Debian's OVMF on QEMU q35, across resets, over one variable store,
with the shipped bring-up application; its X64 PEIM inside OVMF whose PEI
runs in 64-bit mode; and the emulated board's own release (its profile's
variants are QEMU's codecs) through its emulation proof, with nothing
patched. What each boot should show comes from the releases' MANIFESTs,
whose tables are checked against independent copies where there are some.

Usage: system_test.py --release DIR --release-q35 DIR --stub-peim EFI --stub-peim-x64 EFI
                      --hdapack EXE --work DIR [--ovmf-code FD ...] [--ovmf-x64-pei-code FD ...]
"""

import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
import time
import unittest
import zlib
from concurrent.futures import ThreadPoolExecutor

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
import hda_emulation as emu  # noqa: E402

# The target board's table, transcribed here on its own (not from its
# profile) so the CRCs in its MANIFEST, which the test platform PEIM's
# reports are checked against, are checked against an independent copy:
# (device, function, SVID/SSID word) in table order, None for 00:1F.3.
ONES = 0xFFFFFFFF
TARGET_ROWS = (
    [(0x1F, 0, 0x50011458), (0x13, 0, 0x50001458), (0x14, 0, 0x50071458), (0x14, 1, 0x50001458),
     (0x12, 0, 0x88881458)] + [(0x15, f, ONES) for f in range(4)] +
    [(0x16, 0, 0x1C3A1458), (0x16, 1, ONES), (0x16, 4, ONES), (0x16, 2, ONES), (0x16, 3, ONES),
     (0x17, 0, 0xB0051458), (0x16, 3, ONES), (0x19, 1, ONES), (0x19, 0, ONES)] +
    [(0x1C, f, 0x50011458) for f in range(8)] + [(0x1D, f, 0x50011458) for f in range(8)] +
    [(0x1B, f, 0x50011458) for f in range(8)] + [(0x1E, f, ONES) for f in range(4)] +
    [(0x1A, 0, ONES), (0x14, 5, ONES), (0x14, 3, 0x50011458), (0x1F, 1, 0x50001458),
     (0x1F, 2, 0x50011458), (0x1F, 3, None), (0x1F, 4, 0x50011458), (0x1F, 5, ONES),
     (0x1F, 6, 0x50011458)])
# The emulated board's (boards/QemuQ35.h), transcribed the same way.
QEMU = 0x11001AF4
Q35_ROWS = [(0x00, 0, QEMU), (0x01, 0, QEMU), (0x1F, 0, QEMU), (0x1F, 2, QEMU), (0x1F, 3, None)]
# The ported test board's (tests/profiles/ThreeVariants.h), the same way.
PORTED = 0x10021AF4
PORTED_ROWS = ([(0x00, 0, 0x10001AF4), (0x01, 0, 0x10011AF4)] + [(0x1C, f, ONES) for f in range(4)] +
               [(0x1F, 0, PORTED), (0x1F, 1, PORTED), (0x1F, 2, PORTED), (0x1F, 3, None), (0x1F, 5, ONES),
                (0x1F, 6, ONES)])
# Each board's 00:1F.3 words: the default, then each variant's record.
INDEPENDENT_COPIES = {
    "TargetBoard": (TARGET_ROWS, {"SsidTableDefault": 0xA0A31458, "SsidTableA194": 0xA1941458,
                                  "SsidTableA195": 0xA1951458}),
    "QemuQ35": (Q35_ROWS, {"SsidTableDefault": QEMU, "SsidTableDuplex": 0x00221AF4, "SsidTableOutput": 0x00121AF4,
                           "SsidTableMicro": 0x00321AF4}),
    "ThreeVariants": (PORTED_ROWS, {"SsidTableDefault": PORTED, "SsidTableMicro": 0x00321AF4,
                                    "SsidTableDuplex": 0x00221AF4, "SsidTableOutput": 0x00121AF4}),
}


def table_crc(rows, hda_word):
    table = b"".join(struct.pack("<BBBBIHHI", 0, fn, dev, 0, 0, (hda_word if word is None else word) & 0xFFFF,
                                 (hda_word if word is None else word) >> 16, 0) for dev, fn, word in rows)
    return zlib.crc32(table + b"\xff" * 8 + struct.pack("<HHI", 0xFFFF, 0xFFFF, 0))


FITTED = "hda-duplex"  # the codec the configured board's machines carry
# The captures kept as golden traces (the bench replays them).
CAPTURES = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "captures"))


def capture_difference(work, profile, setup, report):
    """Compares a report's capture with the kept one of that profile and
    setup: '' when they are the same, None when none is kept, else why not.
    The fresh capture is written to work/captures/ either way."""
    name = "%s-%s.txt" % (profile, setup)
    fresh = emu.capture_of(report)
    os.makedirs(os.path.join(work, "captures"), exist_ok=True)
    with open(os.path.join(work, "captures", name), "w") as handle:
        handle.write(fresh)
    kept = os.path.join(CAPTURES, name)
    if not os.path.exists(kept):
        return None
    with open(kept) as handle:
        if handle.read() == fresh:
            return ""
    return ("the capture differs from %s; if the probe changed on purpose, copy %s there "
            "(the bench replays it)" % (kept, os.path.join(work, "captures", name)))
FOREIGN = "-bs -nv"    # attributes 0x3


class Machine:
    """The firmware images and the machines' runs, made once."""
    runs = {}

    @classmethod
    def prepare(cls, args):
        started = time.monotonic()
        work = args.work
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)
        cls.work = work
        cls.board = board = emu.BoardProfile.from_release(args.release)
        cls.q35 = emu.BoardProfile.from_release(args.release_q35)
        cls.release_q35 = args.release_q35
        # The records the shell stores: the board's last and first variants.
        cls.first, cls.second = board.variants[-1].record, board.variants[0].record
        cls.fitted_record = board.record_after(FITTED, None)  # what End of DXE makes of QEMU's codec
        ovmf, ovmf_x64_pei = emu.ovmf_from_arguments(args), emu.ovmf_from_arguments(args, x64_pei=True)
        # The configured board's driver set to q35's settings, as its platform
        # would set them at integration.
        firmware = emu.build_board_firmware(work, ovmf, args.release, args.stub_peim, args.hdapack, retarget=True)
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
        q35_firmware = emu.build_board_firmware(q35_work, ovmf, args.release_q35, args.stub_peim, args.hdapack)
        converge_work = os.path.join(work, "q35-convergence")
        os.makedirs(converge_work)
        converge_firmware = emu.build_board_firmware(converge_work, ovmf, args.release_q35, args.stub_peim,
                                                     args.hdapack, converge=True)
        variables = emu.fresh_variables(work, "sequence", ovmf.variables)
        first, second = cls.first, cls.second
        with ThreadPoolExecutor(2) as pool:
            q35 = None if args.edk2_built else pool.submit(cls.emulation_proof, q35_work, q35_firmware,
                                                             emu.fresh_variables(q35_work, "proof", ovmf.variables))
            sequence = pool.submit(emu.run_machine, work, "sequence", firmware, variables, [
                # boot 1: nothing stored yet; the bring-up application reports,
                # then the shell stores the first record for boot 2
                ["HdaSsidInfo.efi > info.txt", emu.store_command(first)],
                [],                            # boot 2: its table chosen; End of DXE records the codec
                [emu.store_command(second)],   # boot 3: what the codec's record chooses; store the second
                [emu.store_command(first)],    # boot 4: the second's table; leave a record for the next machines
            ], codec=FITTED, files={"HdaSsidInfo.efi": os.path.join(args.release, "HdaSsidInfo.efi")},
                outputs=["info.txt"])
            x64_pei = pool.submit(emu.run_machine, work, "x64-pei", x64_firmware,
                                  emu.fresh_variables(work, "x64-pei", ovmf_x64_pei.variables),
                                  [[emu.store_command(first)], [emu.store_command(second)], []], controller=False)
            cls.runs["sequence"], cls.runs["x64-pei"] = sequence.result(), x64_pei.result()
            # Two more machines start from the sequence's store: one
            # controller without a codec, and no controller at all.
            no_codec = pool.submit(emu.run_machine, work, "no-codec", firmware,
                                   emu.fresh_variables(work, "no-codec", variables), [[]], codec=None)
            no_controller = pool.submit(emu.run_machine, work, "no-controller", firmware,
                                        emu.fresh_variables(work, "no-controller", variables),
                                        [["dmem FFFFFFF0 10 > vector.txt"]], controller=False,
                                        outputs=["vector.txt"])
            # q35 as it comes: its SMBus controller at 00:1F.3.
            smbus = pool.submit(emu.run_machine, work, "smbus", firmware, emu.fresh_variables(work, "smbus", variables),
                                [[]], controller=False, smbus=True)
            # A record someone else made with NV+BS only, as a shell's setvar
            # does: made in OVMF without the modules, then booted with them.
            foreign_store = emu.fresh_variables(work, "foreign", ovmf.variables)
            foreign = pool.submit(cls.foreign_record, work, ovmf, firmware, foreign_store)
            refusals = None if args.edk2_built else pool.submit(cls.proof_refusals, work, args)
            converged = None if args.edk2_built else pool.submit(
                cls.emulation_proof, converge_work, converge_firmware,
                emu.fresh_variables(converge_work, "proof", ovmf.variables), True)
            cls.runs["no-codec"], cls.runs["no-controller"] = no_codec.result(), no_controller.result()
            cls.runs["smbus"] = smbus.result()
            cls.runs["foreign"] = foreign.result()
            cls.proof, cls.q35_runs = q35.result() if q35 else (None, [])
            cls.refusals = refusals.result() if refusals else None
            cls.convergence_proof = converged.result()[0] if converged else None
        cls.seconds = time.monotonic() - started

    @classmethod
    def emulation_proof(cls, work, firmware, variables, converge=False):
        """The emulated board's release through its default proof sequence;
        with converge, its driver's convergence reset on (and no bring-up
        application)."""
        def machine(name, steps, setup, outputs):
            return emu.run_machine(work, name, firmware, variables, steps, controller=setup != emu.NO_CONTROLLER,
                                   codec=setup if setup in emu.QEMU_CODECS else None, outputs=outputs,
                                   files={"HdaSsidInfo.efi": os.path.join(cls.release_q35, "HdaSsidInfo.efi")})
        return emu.run_proof(cls.q35, emu.default_sequence(cls.q35), machine, info=not converge, converge=converge)

    @classmethod
    def proof_refusals(cls, work, args):
        """prove_profile.py's ways of not passing, {case: (exit status,
        output)}: the configured board's release as shipped (settings not
        q35's), and a copy of the emulated board's release whose MANIFEST
        says Duplex records 0x00231AF4 (the driver records 0x00221AF4) and
        Micro answers 0x1AF40033 (a typo of hda-micro's answer), proven with
        hda-duplex alone."""
        doctored = os.path.join(work, "doctored-release-q35")
        shutil.rmtree(doctored, ignore_errors=True)
        shutil.copytree(args.release_q35, doctored)
        manifest = os.path.join(doctored, "MANIFEST")
        with open(manifest) as handle:
            text = handle.read()
        text = re.sub(r"(# variant Duplex: answer 0x1AF40022, record )0x00221AF4", r"\g<1>0x00231AF4", text)
        text = re.sub(r"(# variant Micro: answer )0x1AF40032", r"\g<1>0x1AF40033", text)
        with open(manifest, "w") as handle:
            handle.write(text)
        tool = os.path.join(HERE, "..", "..", "tools", "prove_profile.py")
        results = {}
        for case, release, more in (("settings", args.release, []),
                                    ("doctored", doctored, ["--boots", "hda-duplex", "--no-info"])):
            result = subprocess.run([sys.executable, tool, "--release", release, "--stub-peim", args.stub_peim,
                                     "--hdapack", args.hdapack, "--work", os.path.join(work, "prove-" + case)] + more,
                                    capture_output=True, text=True, errors="replace")
            results[case] = (result.returncode, result.stdout + result.stderr)
        return results

    @classmethod
    def foreign_record(cls, work, ovmf, firmware, variables):
        emu.run_machine(work, "foreign-made", ovmf.code, variables, [[emu.store_command(cls.first, FOREIGN)]],
                        controller=False)
        return emu.run_machine(work, "foreign", firmware, variables, [
            # after the driver: try to make such a record again, and look
            [emu.store_command(cls.first, FOREIGN), "dmpstore -guid %s > again.txt" % emu.VARIABLE_GUID]],
            codec=FITTED, outputs=["again.txt"])


class ForeignRecord(unittest.TestCase):
    def test_peim_ignores_it_and_the_driver_replaces_it(self):
        boot = Machine.runs["foreign"].boots[0]
        self.assertEqual(boot.policy, emu.NULL_REPORT, "a record of attributes 0x3 selects nothing")
        self.assertEqual(boot.record, Machine.fitted_record, "the driver replaced it with its own")

    def test_the_variable_policy_refuses_another_such_record(self):
        # Only a record of the driver's attributes may be there: none, or (on
        # a board whose variant QEMU's codec is) one the shell's setvar
        # rewrote keeping the stored attributes.
        again = Machine.runs["foreign"].files.get("again.txt", "")
        self.assertTrue("No matching variables" in again or
                        re.search(r"Variable NV\+RT\+BS '[^']*:%s'" % emu.VARIABLE_NAME, again), again)


class EmulatedBoardProof(unittest.TestCase):
    """The emulated board's release, proven as prove_profile.py proves one:
    each of QEMU's codecs, no codec, no controller, over one store."""

    def setUp(self):
        if Machine.proof is None:
            self.skipTest("the EDK2-built images' run leaves the emulated board's proof out")

    def test_the_sequence_is_every_codec_then_none_then_no_controller(self):
        self.assertEqual([e.setup for e in Machine.proof if not e.extra],
                         ["hda-duplex", "hda-output", "hda-micro", emu.NO_CODEC, emu.NO_CONTROLLER])

    def test_every_boot_is_as_the_profile_says(self):
        self.assertEqual([(e.number, e.differences) for e in Machine.proof if e.differences], [])
        self.assertEqual([e.boot.record for e in Machine.proof[:3]], [0x00221AF4, 0x00121AF4, 0x00321AF4])

    def test_each_boot_with_a_controller_gives_a_verdict(self):
        verdicts = [(e.setup, emu.verdict_of(e.report)) for e in Machine.proof if e.setup != emu.NO_CONTROLLER]
        self.assertTrue(verdicts)
        for setup, verdict in verdicts:
            self.assertTrue(verdict.startswith("Verdict: "), setup)
        # No codec is a problem the application names; QEMU's read-only
        # subsystem ID register is the other (the table is never applied).
        self.assertIn("Verdict: the driver would not work here: STATESTS: no codec on SDI 0-2", dict(verdicts)["none"])
        self.assertIn("Verdict: the driver would not work here: subsystem ID: 0x11001AF4 this boot",
                      dict(verdicts)["hda-duplex"])

    def test_its_captures_are_the_kept_golden_ones(self):
        for entry in Machine.proof:
            if entry.report and not entry.extra:
                with self.subTest(setup=entry.setup):
                    self.assertEqual(capture_difference(Machine.work, "QemuQ35", entry.setup, entry.report), "")


class ConvergenceResetProof(unittest.TestCase):
    """The emulated board's proof with the driver's convergence reset on:
    QEMU's subsystem ID is read-only, so each boot that changes the record
    to a variant's resets once, and the boot after it, which changes
    nothing, does not; a record deleted or kept makes no reset."""

    def setUp(self):
        if Machine.convergence_proof is None:
            self.skipTest("the EDK2-built images' run leaves the convergence proof out")

    def test_one_reset_per_codec_change_and_no_loop(self):
        proof = Machine.convergence_proof
        self.assertEqual([(e.number, e.differences) for e in proof if e.differences], [])
        self.assertEqual([(e.setup, len(e.boot.resets)) for e in proof],
                         [("hda-duplex", 1), ("hda-output", 1), ("hda-micro", 1), (emu.NO_CODEC, 0),
                          (emu.NO_CONTROLLER, 0), (emu.NO_CONTROLLER, 0)])
        # After its reset a boot chose the table of the record it had just written.
        self.assertEqual([e.boot.record for e in proof[:3]], [0x00221AF4, 0x00121AF4, 0x00321AF4])


class ProofRefusals(unittest.TestCase):
    """prove_profile.py passes only what it proved."""

    def setUp(self):
        if Machine.refusals is None:
            self.skipTest("the EDK2-built images' run leaves the proof's refusals out")

    def test_a_release_whose_settings_are_not_q35s_is_not_proven_as_shipped(self):
        if not emu.settings_differ_from_q35(Machine.board):
            self.skipTest("the configured board carries q35's settings")
        status, output = Machine.refusals["settings"]
        self.assertEqual(status, 2, output)
        self.assertIn("ECAM base 0x%X and PM-timer port 0x%X" % (Machine.board.ecam_base, Machine.board.pm_timer_port),
                      output)
        self.assertIn("cannot be proven in emulation", output)
        self.assertIn("--retarget-to-q35", output)

    def test_boots_that_differ_and_variants_not_proven_fail_it(self):
        status, output = Machine.refusals["doctored"]
        self.assertEqual(status, 1, output)
        self.assertIn("End of DXE left record 0x00221AF4, the profile says 0x00231AF4", output)
        self.assertIn("no QEMU codec answers 0x1AF40033 (one hex digit from hda-micro's 0x1AF40032", output)
        self.assertRegex(output, r"Output +0x1AF40012 +not booted")
        self.assertIn("0 of 3 variants proven", output)


class ManifestTables(unittest.TestCase):
    """The MANIFEST's tables against the independent copies above."""

    def check(self, board):
        rows, words = INDEPENDENT_COPIES[board.profile]
        tables = [board.default] + [v.table for v in board.variants]
        self.assertEqual(sorted(t.name for t in tables), sorted(words))
        for table in tables:
            self.assertEqual((table.hda_word, table.crc), (words[table.name], table_crc(rows, words[table.name])),
                             table.name)
        self.assertEqual(board.entries, len(rows) + 1)

    def test_the_emulated_boards(self):
        self.check(Machine.q35)

    def test_the_configured_boards(self):
        if Machine.board.profile not in INDEPENDENT_COPIES:
            self.skipTest("no independent copy of profile %s's tables" % Machine.board.profile)
        self.check(Machine.board)


class X64Pei(unittest.TestCase):
    def test_each_boot_selects_from_the_stored_record_in_64_bit_pei(self):
        board = Machine.board
        self.assertEqual([b.policy for b in Machine.runs["x64-pei"].boots],
                         [emu.NULL_REPORT, board.report(Machine.first), board.report(Machine.second)])


class SequenceAcrossResets(unittest.TestCase):
    def setUp(self):
        self.boots = Machine.runs["sequence"].boots

    def test_each_boot_selects_from_the_previous_boots_record(self):
        board = Machine.board
        self.assertEqual([b.policy for b in self.boots],
                         [emu.NULL_REPORT, board.report(Machine.first), board.report(Machine.fitted_record),
                          board.report(Machine.second)])

    def test_driver_records_what_the_profile_makes_of_qemus_codec(self):
        # Every boot's End of DXE records QEMU's codec as the profile says
        # (the target board knows no such variant: no record), whatever the
        # shell stored before.
        self.assertEqual([b.record for b in self.boots], [Machine.fitted_record] * 4)

    def test_driver_probes_the_codec_and_restores_the_controller(self):
        ecam = emu.Q35_ECAM_BASE  # the driver's, as shipped or as retargeted
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
                self.assertEqual(emu.probe_answers(probe), [emu.QEMU_CODECS[FITTED]] * 2)
                # The last two writes put back GCTL's low byte, then the command byte.
                self.assertEqual(str(probe[-2]), "write8 0x%08X = 0x%X" % (hda[0].address, gctl_before & 0xFF))
                self.assertEqual(str(probe[-1]), "write8 0x%08X = 0x%X" % (ecam + 0xFB004, command_before))


class BringUpApplication(unittest.TestCase):
    def test_finds_the_emulated_board_in_acpi_and_reports_it_as_the_driver_sees_it(self):
        info = Machine.runs["sequence"].files.get("info.txt", "")
        board = Machine.board
        answer = emu.QEMU_CODECS[FITTED]
        found = board.recognised(answer)
        expected = ["Board profile: " + board.name,
                    "ECAM base 0xB0000000 (ACPI MCFG", "PM timer port 0x0608 (ACPI FADT",
                    "configuration space at 0xB00FB000",
                    "vendor 0x8086 device 0x293E",
                    "STATESTS 0x01",
                    "codec 0: vendor ID 0x%08X, subsystem ID 0x%08X" % (answer, answer),
                    "not a known variant" if found is None else "known: variant " + found.name,
                    "Controller restored: command 0x",
                    "would delete the record" if found is None else "would store 0x%08X" % found.record,
                    "Stored record ZelHdaSsid: " + ("none" if Machine.fitted_record is None else
                                                    "0x%08X (attributes 0x07)" % Machine.fitted_record)]
        if emu.settings_differ_from_q35(board):
            expected.append("PROBLEM  settings: ACPI gives ECAM base 0xB0000000 and PM timer port 0x0608")
        for text in expected:
            self.assertIn(text, info)
        self.assertTrue(emu.verdict_of(info).startswith("Verdict: "), info)
        # Its dry run and its own look, each restoring the command byte.
        probes = Machine.runs["sequence"].boots[0].tool_probes
        self.assertEqual(len(probes), 2)
        for probe in probes:
            command_before = next(a.value for a in probe if a.kind == "read" and a.size == 1)
            self.assertEqual(str(probe[-1]), "write8 0xB00FB004 = 0x%X" % command_before)
        # The dry run's capture makes the accesses the driver made in the same
        # boot (the values may differ: the firmware enables the device after
        # End of DXE).
        driver = [(a.kind, a.size * 8, a.address) for a in Machine.runs["sequence"].boots[0].probe]
        captured = []
        for line in emu.capture_of(info).splitlines()[1:-1]:
            kind, address, _, *count = line.split()[1:]
            times = int(count[0][1:]) if count else 1
            captured += [("read" if kind[0] == "R" else "write", int(kind[1:]), int(address, 16))] * times
        self.assertEqual(captured, driver)
        difference = capture_difference(Machine.work, board.profile, FITTED, info)
        if difference is None:
            print("no capture of profile %s with %s is kept in %s: not compared" % (board.profile, FITTED, CAPTURES))
        else:
            self.assertEqual(difference, "")


class NoCodec(unittest.TestCase):
    def test_no_verb_is_sent_and_the_record_is_deleted(self):
        boot = Machine.runs["no-codec"].boots[0]
        self.assertEqual(boot.policy, Machine.board.report(Machine.first), "the record was there at PEI")
        self.assertIsNone(boot.record)
        statests = [a for a in boot.probe if a.region == "intel-hda" and a.size == 1 and a.kind == "read"]
        self.assertEqual([a.value for a in statests], [0])
        self.assertFalse([a for a in boot.probe if a.region == "intel-hda" and a.address & 0xFFF == 0x60])
        self.assertEqual(str(boot.probe[-1]), "write8 0xB00FB004 = 0x0")


class NoController(unittest.TestCase):
    def test_guard_touches_nothing_keeps_the_record_and_boot_goes_on(self):
        run = Machine.runs["no-controller"]
        boot = run.boots[0]
        self.assertEqual(boot.policy, Machine.board.report(Machine.first))
        self.assertEqual(boot.record, Machine.first, "nothing could be examined, so the record stays")
        self.assertIn(emu.VARIABLE_NAME, boot.dump, "the boot went on to the shell")
        writes = [a for a in run.accesses if a.kind == "write"]
        self.assertFalse([a for a in writes if a.region in ("system.flash0", "intel-hda")], writes)
        self.assertFalse([a for a in writes if a.address == emu.ECAM_HDA + 4 and a.size == 1])
        vector = run.files.get("vector.txt", "")
        self.assertIn(" ".join("%02X" % b for b in Machine.reset_vector[:8]), vector.upper(),
                      "the flash still reads its reset vector")


class SmBusAt1F3(unittest.TestCase):
    def test_another_device_at_1f3_gets_no_write_and_the_record_stays(self):
        # The firmware's own PCI enumeration reads and writes the SMBus
        # controller too (its command register as 16 bits, its interrupt
        # line); the driver's guard is the one 32-bit read of the vendor/device
        # word followed at once by one of the class code, and its command
        # register write would be a byte.
        run = Machine.runs["smbus"]
        self.assertEqual(run.boots[0].record, Machine.first, "nothing examined, so the record stays")
        config = [(a.kind, a.address - emu.ECAM_HDA, a.size, a.value) for a in run.accesses
                  if a.region == "pcie-mmcfg-mmio"]
        guards = [i for i in range(len(config) - 1)
                  if config[i][:3] == ("read", 0x00, 4) and config[i + 1][:3] == ("read", 0x08, 4)]
        self.assertEqual(len(guards), 1, "one probe of 00:1F.3")
        self.assertEqual(config[guards[0] + 1][3] >> 16, 0x0C05, "QEMU's SMBus controller")
        self.assertNotEqual(config[guards[0] + 2][:3] if guards[0] + 2 < len(config) else None,
                            ("read", 0x10, 4), "the guard stopped at the class code")
        self.assertFalse([a for a in config if a[:3] == ("write", 0x04, 1)],
                         "no byte write of the command register, as the driver's is")


def edk2_built_release(release, built, hdapack, work):
    """A copy of the release folder whose driver and PEIMs are the ones EDK2
    built from its sources (tools/edk2_check.py --export), in firmware files
    as the release makes them; its MANIFEST names the settings EDK2 built in."""
    folder = os.path.join(work, "edk2-built-release")
    shutil.rmtree(folder, ignore_errors=True)
    shutil.copytree(release, folder)
    version = emu.manifest_version(release)

    def pack(image, out, *options):
        subprocess.run([hdapack, "ffs", "--out", os.path.join(folder, out), "--image", image, "--version", version]
                       + list(options), check=True)
    # Each with the dependency expression EDK2 built from its source INF.
    pack(os.path.join(built, "HdaSsidDetectDxe.efi"), "HdaSsidDetectDxe.ffs", "--type", "driver", "--guid",
         emu.DRIVER_FILE_GUID, "--depex", os.path.join(built, "HdaSsidDetectDxe.depex"), "--name",
         "HdaSsidDetectDxe")
    for name in ("HdaSsidSelectPei", "HdaSsidSelectPeiX64"):
        te = os.path.join(work, name + ".te")
        subprocess.run([hdapack, "te", "--in", os.path.join(built, name + ".efi"), "--out", te], check=True)
        pack(te, name + ".ffs", "--type", "peim", "--guid", emu.hda_ids.PEI_FILE_GUID, "--depex",
             os.path.join(built, name + ".depex"), "--name", "HdaSsidSelectPei", "--xip-align", "32")
    manifest = os.path.join(folder, "MANIFEST")
    with open(manifest) as handle:
        text = handle.read()
    text = re.sub(r"ECAM base 0x[0-9A-Fa-f]+, ACPI PM timer port 0x[0-9A-Fa-f]+",
                  "ECAM base 0x%X, ACPI PM timer port 0x%X" % (emu.Q35_ECAM_BASE, emu.Q35_PM_TIMER_PORT), text, 1)
    with open(manifest, "w") as handle:
        handle.write(text)
    return folder


def main():
    parser = argparse.ArgumentParser()
    for option in ("--release", "--release-q35", "--stub-peim", "--stub-peim-x64", "--hdapack", "--work"):
        parser.add_argument(option, required=True)
    parser.add_argument("--edk2-built", help="boot the driver and PEIMs EDK2 built from the release's sources "
                        "(the folder tools/edk2_check.py --export wrote) instead of the shipped ones; the "
                        "emulated board's proof is left out")
    emu.add_ovmf_arguments(parser)
    emu.add_ovmf_arguments(parser, x64_pei=True)
    args = parser.parse_args()
    if args.edk2_built:
        if not os.path.isfile(os.path.join(args.edk2_built, "HdaSsidDetectDxe.efi")):
            print("system_test: skipped: no EDK2-built images in %s (the EDK2 check did not run)" % args.edk2_built)
            return 77
        os.makedirs(args.work, exist_ok=True)
        args.release = edk2_built_release(args.release, args.edk2_built, args.hdapack, args.work + "-images")
    Machine.prepare(args)
    for name, run in list(Machine.runs.items()) + [("q35-proof-" + str(i), r) for i, r in enumerate(Machine.q35_runs)]:
        print("%s: %.1f s in all; boots to the shell: %s" % (
            name, run.seconds, ", ".join("%.1f s" % b.seconds for b in run.boots)))
    print("firmware image built in %.1f s; whole system test %.1f s" % (Machine.image_seconds, Machine.seconds))
    result = unittest.main(argv=[sys.argv[0], "-v"], exit=False).result
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
