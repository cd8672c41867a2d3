#!/usr/bin/env python3
# Copyright (c) 2026, HdaSsid contributors. All rights reserved.
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""HdaSsidPkg integrated into a real EDK2 platform built from source:
OVMF (OvmfPkg/OvmfPkgIa32X64.dsc, IA32 PEI and X64 DXE, with SMM so that
PEI has a read-only variable PPI), exactly as docs/integration.md tells an
integrator, built by EDK2 and booted on QEMU q35. Two builds, each proving
what the other cannot:

- By binary: the configured board's release folder as HdaSsidBinPkg, its
  driver set to q35's PM timer and to the platform's own FixedAtBuild
  PcdPciExpressBaseAddress by EDK2's PCD patching: a stored record
  selects the right table in PEI, and the driver probes QEMU's codec at End
  of DXE at the patched settings.
- By source: the repository as HdaSsidPkg, as a tree takes it, with the
  emulated board's HdaSsidBoardLib, OVMF's own PcdPciExpressBaseAddress and
  the PM-timer port Dynamic (through OVMF's PCD drivers): the emulation
  proof (each of QEMU's codecs, none, no controller), and the DEBUG log
  saying what each boot did.

Both are DEBUG builds, so that the second only compiles what differs.

What each boot should show comes from the releases' MANIFESTs. (Whether the
snippet with no settings leaves the driver as shipped, and that RELEASE
source builds carry no DEBUG message, tools/edk2_check.py checks without an
OVMF build.)

Usage: ovmf_source_test.py --release DIR --release-q35 DIR --stub-peim EFI --hdapack EXE
                           [--package DIR] [--sources DIR] [--work DIR] [--jobs N]
DIR of --sources (default: $HDA_OVMF_SOURCES) is a folder of the OVMF source
tarballs (edk2-*-ovmf-packages.tar.xz and its submodule tarballs) or an EDK2
tree with OvmfPkg. Without one the test is skipped (exit status 77).
--package is the repository (default: the one holding this test).
"""

import argparse
import glob
import os
import re
import shutil
import subprocess
import sys
import tarfile
import time
import unittest
from concurrent.futures import ThreadPoolExecutor

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
sys.path.insert(0, HERE)
import edk2_ecc  # noqa: E402
import hda_emulation as emu  # noqa: E402

SKIPPED = 77
OVMF_ECAM_BASE = 0xE0000000  # edk2 since 2023-03 ("move mmconfig to 0xe0000000")
OVMF_PM_TIMER_PORT = 0x608

# docs/integration.md, "By binary", step 2: the settings in [Defines], the
# snippet at a section boundary after it (here, before [BuildOptions]).
DSC_DEFINES = """
  DEFINE HDA_SSID_PCI_EXPRESS_BASE   = gEfiMdePkgTokenSpaceGuid.PcdPciExpressBaseAddress
  DEFINE HDA_SSID_ACPI_PM_TIMER_PORT = 0x%X
""" % OVMF_PM_TIMER_PORT
STUB_COMPONENT = """
[Components.IA32]
  HdaSsidTestPkg/PlatformStubPei.inf

"""
DSC_LINES = {
    "binary": "!include HdaSsidBinPkg/HdaSsid.dsc.inc\n" + STUB_COMPONENT,
    # "By source", step 2: the board's library instance, the PM-timer port
    # in a PCD section of the platform's choice, the source snippet.
    "source": """[LibraryClasses]
  HdaSsidBoardLib|HdaSsidPkg/boards/QemuQ35.inf

[PcdsDynamicDefault]
  gHdaSsidPkgTokenSpaceGuid.PcdHdaSsidAcpiPmTimerPort|0x%X

!include HdaSsidPkg/HdaSsid.dsc.inc
""" % OVMF_PM_TIMER_PORT + STUB_COMPONENT}
# Step 3: each module in its volume, binary ones with the shipped rules,
# source ones with OVMF's; the test platform PEIM is a binary module and
# takes its rule from the shipped HdaSsid.fdf.inc (the binary package's, or
# bin/ of the source one), included after the platform's last FV section.
FDF_STUB_LINE = "INF RuleOverride = HDA_SSID HdaSsidTestPkg/PlatformStubPei.inf\n"
FDF_LINES = {"binary": ("INF RuleOverride = HDA_SSID HdaSsidBinPkg/HdaSsidSelectPei.inf\n",
                        "INF RuleOverride = HDA_SSID HdaSsidBinPkg/HdaSsidDetectDxe.inf\n"),
             "source": ("INF HdaSsidPkg/pei/HdaSsidSelectPei.inf\n",
                        "INF HdaSsidPkg/dxe/HdaSsidDetectDxe.inf\n")}
FDF_RULES_LINE = {"binary": "\n!include HdaSsidBinPkg/HdaSsid.fdf.inc\n",
                  "source": "\n!include HdaSsidPkg/bin/HdaSsid.fdf.inc\n"}

STUB_INF = os.path.join(HERE, "..", "firmware", "PlatformStubPei.inf")


def run(command, cwd=None, env=None):
    result = subprocess.run(command, cwd=cwd, env=env, capture_output=True, text=True, errors="replace")
    return result.returncode, result.stdout + result.stderr


def unpack(sources, work):
    """A scratch EDK2 tree with OvmfPkg: from the tarballs, or a copy of a tree."""
    root = os.path.join(work, "src")
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(root)
    if os.path.isdir(os.path.join(sources, "OvmfPkg")):
        shutil.copytree(sources, os.path.join(root, "edk2"), symlinks=True,
                        ignore=shutil.ignore_patterns("Build", "*.o", "*.pyc"))
    else:
        tarballs = sorted(glob.glob(os.path.join(sources, "*.tar.xz")))
        if not any("ovmf-packages" in t for t in tarballs):
            raise SystemExit("ovmf_source_test: %s holds no EDK2 tree nor OVMF source tarballs" % sources)
        for tarball in tarballs:
            with tarfile.open(tarball) as archive:
                archive.extractall(root, filter="data") if hasattr(tarfile, "data_filter") else archive.extractall(root)
    return os.path.join(root, "edk2")


def edk2_env(edk2):
    env = {"HOME": os.environ.get("HOME", "/root"), "PATH": os.environ["PATH"], "LANG": "C.UTF-8",
           "WORKSPACE": edk2, "PYTHON_COMMAND": sys.executable}
    return env


def integrate(edk2, release, package, stub_peim, hdapack, pristine, form):
    """The test platform PEIM as a binary module, and either the release
    folder as HdaSsidBinPkg/ (form "binary") or the repository's tracked
    files as HdaSsidPkg/ (form "source"), with the documented DSC and FDF
    lines in OVMF's own files."""
    for name in ("HdaSsidBinPkg", "HdaSsidPkg"):
        shutil.rmtree(os.path.join(edk2, name), ignore_errors=True)
    if form == "binary":
        shutil.copytree(release, os.path.join(edk2, "HdaSsidBinPkg"))
    else:
        for name in edk2_ecc.package_files(package):
            target = os.path.join(edk2, "HdaSsidPkg", name)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            shutil.copy2(os.path.join(package, name), target)
    test_pkg = os.path.join(edk2, "HdaSsidTestPkg")
    os.makedirs(test_pkg, exist_ok=True)
    shutil.copy(stub_peim, os.path.join(test_pkg, "PlatformStubPei.efi"))
    subprocess.run([hdapack, "depex", "--out", os.path.join(test_pkg, "PlatformStubPei.depex")], check=True)
    shutil.copy(STUB_INF, test_pkg)
    dsc, fdf = pristine
    if form == "binary":
        dsc = dsc.replace("\n[Defines]\n", "\n[Defines]\n" + DSC_DEFINES, 1)
    dsc = dsc.replace("\n[BuildOptions]", "\n" + DSC_LINES[form] + "[BuildOptions]", 1)
    pei_line, dxe_line = FDF_LINES[form]
    pei_end = fdf.index("[FV.DXEFV]")
    pei_end = fdf.rindex("\n!include", 0, pei_end)
    fdf = fdf[:pei_end] + "\n" + FDF_STUB_LINE + pei_line + fdf[pei_end:]
    dxe_end = fdf.rindex("\n!include", 0, fdf.index("[FV.FVMAIN_COMPACT]"))
    fdf = fdf[:dxe_end] + "\n" + dxe_line + fdf[dxe_end:] + FDF_RULES_LINE[form]
    for name, text in (("OvmfPkgIa32X64.dsc", dsc), ("OvmfPkgIa32X64.fdf", fdf)):
        with open(os.path.join(edk2, "OvmfPkg", name), "w") as handle:
            handle.write(text)


def driver_settings(hdapack, image):
    """(ECAM base, PM-timer port) an image or firmware file of the driver
    carries, as hdapack settings reads them; None when it cannot say."""
    status, output = run([hdapack, "settings", "--in", image])
    match = re.search(r"ecam-base (0x[0-9A-F]+) at .*\npm-timer-port (0x[0-9A-F]+) at", output)
    return (int(match.group(1), 16), int(match.group(2), 16)) if status == 0 and match else None


def patched_settings(edk2, hdapack, target):
    """The settings of the driver's firmware file EDK2 put in the volume."""
    found = glob.glob(os.path.join(edk2, "Build", "Ovmf3264", "%s_GCC" % target, "FV", "Ffs", "*HdaSsidDetectDxe",
                                   "*.ffs"))
    return driver_settings(hdapack, found[0]) if found else None


def build(edk2, jobs, out, target="RELEASE"):
    """EDK2's build of OvmfPkgIa32X64 with SMM, without its network stack
    (which brings OpenSSL, about half the build, and nothing this test
    looks at); the images copied to out."""
    script = ("set -- && . ./edksetup.sh >/dev/null && build -p OvmfPkg/OvmfPkgIa32X64.dsc -a IA32 -a X64 "
              "-t GCC -b %s -n %d -D SMM_REQUIRE=TRUE -D NETWORK_ENABLE=FALSE" % (target, jobs))
    started = time.monotonic()
    status, output = run(["bash", "--noprofile", "--norc", "-c", script], cwd=edk2, env=edk2_env(edk2))
    seconds = time.monotonic() - started
    if status != 0:
        raise SystemExit("ovmf_source_test: EDK2's build of OVMF failed:\n" + output[-5000:])
    warnings = [line for line in output.splitlines() if "HdaSsid" in line and re.search(r"(warning|error):", line)]
    os.makedirs(out, exist_ok=True)
    built = os.path.join(edk2, "Build", "Ovmf3264", "%s_GCC" % target)
    for name in ("OVMF_CODE.fd", "OVMF_VARS.fd"):
        shutil.copy(os.path.join(built, "FV", name), out)
    shutil.copy(os.path.join(built, "X64", "Shell.efi"), out)
    return seconds, warnings


# The driver's own definition of EDK2's variable policy protocol
# (env/VariablePolicy.h) against MdeModulePkg's header.
POLICY_PROBE = """#include <Uefi.h>
#include <Protocol/VariablePolicy.h>
_Static_assert(sizeof(VARIABLE_POLICY_ENTRY) == 44, "entry size");
_Static_assert(__builtin_offsetof(VARIABLE_POLICY_ENTRY, Namespace) == 8, "Namespace");
_Static_assert(__builtin_offsetof(VARIABLE_POLICY_ENTRY, MinSize) == 24, "MinSize");
_Static_assert(__builtin_offsetof(VARIABLE_POLICY_ENTRY, LockPolicyType) == 40, "LockPolicyType");
_Static_assert(__builtin_offsetof(EDKII_VARIABLE_POLICY_PROTOCOL, RegisterVariablePolicy) == 8 + 2 * sizeof(VOID *),
               "RegisterVariablePolicy");
_Static_assert(VARIABLE_POLICY_ENTRY_REVISION == 0x00010000 && VARIABLE_POLICY_TYPE_NO_LOCK == 0, "revision");
static const EFI_GUID Guid = EDKII_VARIABLE_POLICY_PROTOCOL_GUID;
_Static_assert(sizeof(Guid) == 16, "GUID");
"""


def policy_layout(edk2, work):
    """Compiles the probe for IA32 and X64; returns what failed, or ''."""
    probe = os.path.join(work, "policy_layout.c")
    with open(probe, "w") as handle:
        handle.write(POLICY_PROBE)
    failed = ""
    for target, folder in (("i686-unknown-windows", "Ia32"), ("x86_64-unknown-windows", "X64")):
        status, output = run(["clang", "--target=" + target, "-fsyntax-only", "-ffreestanding",
                              "-I", os.path.join(edk2, "MdePkg", "Include"),
                              "-I", os.path.join(edk2, "MdePkg", "Include", folder),
                              "-I", os.path.join(edk2, "MdeModulePkg", "Include"), probe])
        failed += "" if status == 0 else "%s: %s\n" % (folder, output[-800:])
    return failed


class Platform:
    """The two builds and their boots, made once."""
    builds = {}
    runs = {}


def machine(work, build_name, name, steps, **options):
    out = Platform.builds[build_name]["dir"]
    variables = options.pop("variables", None) or emu.fresh_variables(work, name, os.path.join(out, "OVMF_VARS.fd"))
    return emu.run_machine(work, name, os.path.join(out, "OVMF_CODE.fd"), variables, steps, smm=True,
                           shell=os.path.join(out, "Shell.efi"), ecam_base=OVMF_ECAM_BASE, timeout=240, **options)


def prepare(args):
    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    started = time.monotonic()
    edk2 = unpack(os.path.abspath(args.sources), work)
    unpacked = time.monotonic()
    status, output = run(["make", "-C", "BaseTools", "-j%d" % args.jobs], cwd=edk2)
    if status != 0:
        raise SystemExit("ovmf_source_test: BaseTools did not build (gcc, g++, make, uuid-dev, nasm, iasl):\n"
                         + output[-3000:])
    tools = time.monotonic()
    Platform.policy_layout = policy_layout(edk2, work)
    pristine = [open(os.path.join(edk2, "OvmfPkg", n)).read() for n in ("OvmfPkgIa32X64.dsc", "OvmfPkgIa32X64.fdf")]
    # Both DEBUG: the second build then recompiles only what the first did
    # not have (the binary modules are the same images in any target).
    for name, form, target in (("q35-source-debug", "source", "DEBUG"), ("target", "binary", "DEBUG")):
        integrate(edk2, os.path.abspath(args.release), os.path.abspath(args.package), os.path.abspath(args.stub_peim),
                  args.hdapack, pristine, form)
        out = os.path.join(work, "ovmf-" + name)
        seconds, warnings = build(edk2, args.jobs, out, target)
        Platform.builds[name] = {"dir": out, "seconds": seconds, "warnings": warnings,
                                 "settings": patched_settings(edk2, args.hdapack, target) if form == "binary"
                                 else ""}
    built = time.monotonic()
    Platform.hdapack, Platform.release = args.hdapack, os.path.abspath(args.release)
    Platform.board = emu.BoardProfile.from_release(args.release)
    Platform.q35 = emu.BoardProfile.from_release(args.release_q35)

    def proof(build_name):
        store = emu.fresh_variables(work, build_name, os.path.join(Platform.builds[build_name]["dir"], "OVMF_VARS.fd"))

        def proof_machine(name, steps, setup, outputs):
            return machine(work, build_name, "%s-%s" % (build_name, name), steps,
                           controller=setup != emu.NO_CONTROLLER, codec=setup if setup in emu.QEMU_CODECS else None,
                           variables=store)
        return emu.run_proof(Platform.q35, emu.default_sequence(Platform.q35), proof_machine)

    with ThreadPoolExecutor(2) as pool:
        target = pool.submit(machine, work, "target", "target",
                             [[emu.store_command(Platform.board.variants[-1].record)], []], codec=FITTED)
        debug_proof = pool.submit(proof, "q35-source-debug")
        Platform.runs["target"] = target.result()
        Platform.proofs = {"q35-source-debug": debug_proof.result()}
    Platform.times = {"unpack": unpacked - started, "BaseTools": tools - unpacked,
                      "builds": built - tools, "boots": time.monotonic() - built}


FITTED = "hda-duplex"


class ConfiguredBoardRelease(unittest.TestCase):
    def test_edk2_builds_it_as_the_readme_integrates_it(self):
        self.assertEqual(Platform.builds["target"]["warnings"], [])

    def test_edk2_patched_the_platforms_settings_into_the_driver(self):
        self.assertEqual(Platform.builds["target"]["settings"], (OVMF_ECAM_BASE, OVMF_PM_TIMER_PORT))

    def test_a_stored_record_selects_its_table_in_pei(self):
        boots, board = Platform.runs["target"].boots, Platform.board
        self.assertEqual([b.policy for b in boots], [emu.NULL_REPORT, board.report(board.variants[-1].record)])

    def test_the_driver_probes_the_codec_at_the_patched_settings(self):
        # The PM timer and the ECAM window are OVMF's, patched in by EDK2:
        # the driver reaches the controller at 0xE00FB000 and QEMU's codec
        # answers (no known variant of the target board: the record goes).
        fitted = Platform.board.record_after(FITTED, None)
        boots = Platform.runs["target"].boots
        for boot in boots:
            verbs = [a.value for a in boot.probe if a.region == "intel-hda" and a.kind == "write"
                     and a.address & 0xFFF == 0x60]
            self.assertEqual(verbs, [0x000F0000, 0x001F2000], "boot %d" % boot.number)
            self.assertTrue(str(boot.probe[-1]).startswith("write8 0x%08X = " % (OVMF_ECAM_BASE + 0xFB004)),
                            boot.probe[-1])
        self.assertEqual([b.record for b in boots], [fitted, fitted])


class VariablePolicyLayout(unittest.TestCase):
    def test_our_definition_matches_mdemodulepkgs(self):
        self.assertEqual(Platform.policy_layout, "")


# What the source modules say in a DEBUG build, for each setup of the proof
# (the PEIM's read and choice, the driver's registrations, probe and record).
DEBUG_LINES = {
    "hda-duplex": ["HdaSsidSelectPei: ", "HdaSsidDetectDxe: End-of-DXE notification: Success",
                   "HdaSsidDetectDxe: variable policy for the record: Success",
                   "HdaSsidDetectDxe: 00:1F.3 device 0x293E8086", "HdaSsidDetectDxe: command 0x",
                   "HdaSsidDetectDxe: codec 0: vendor ID 0x1AF40022, subsystem ID 0x1AF40022, known",
                   "HdaSsidDetectDxe: record 0x00221AF4 stored: Success"],
    "hda-output": ["HdaSsidSelectPei: SsidTableDuplex chosen",
                   "HdaSsidDetectDxe: record 0x00121AF4 stored: Success"],
    "hda-micro": ["HdaSsidSelectPei: SsidTableOutput chosen", "HdaSsidDetectDxe: record 0x00321AF4 stored: Success"],
    emu.NO_CODEC: ["HdaSsidSelectPei: SsidTableMicro chosen", "STATESTS 0x00",
                   "HdaSsidDetectDxe: no codec gave a known answer: record deleted: Success"],
    emu.NO_CONTROLLER: ["HdaSsidSelectPei: no record read: Not Found", "HdaSsidDetectDxe: no device at 00:1F.3",
                        "HdaSsidDetectDxe: nothing examined: the record is kept"],
}
MODULE_LINE = re.compile(r"^HdaSsid(?:DetectDxe|SelectPei): .*$", re.M)


class EmulatedBoardFromSource(unittest.TestCase):
    """The repository built into OVMF by EDK2 for the emulated board, DEBUG:
    the emulation proof holds, and the DEBUG log says what each boot did."""

    def test_edk2_builds_it_without_a_warning_from_the_package(self):
        self.assertEqual(Platform.builds["q35-source-debug"]["warnings"], [])

    def test_its_emulation_proof_holds(self):
        for name, (proof, _) in Platform.proofs.items():
            self.assertEqual([e.setup for e in proof if not e.extra],
                             ["hda-duplex", "hda-output", "hda-micro", emu.NO_CODEC, emu.NO_CONTROLLER], name)
            self.assertEqual([(e.number, e.differences) for e in proof if e.differences], [], name)

    def test_debug_build_says_what_each_boot_did(self):
        for run, (setup, _) in zip(Platform.proofs["q35-source-debug"][1], emu.group_setups(
                emu.default_sequence(Platform.q35))):
            for line in DEBUG_LINES[setup]:
                self.assertIn(line, run.debugcon, setup)
            # A boot that chose a table says so, and only that.
            if " chosen\n" in run.debugcon:
                self.assertNotIn("names no variant", run.debugcon, setup)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    for option in ("--release", "--release-q35", "--stub-peim", "--hdapack"):
        parser.add_argument(option, required=True)
    parser.add_argument("--sources", default=os.environ.get("HDA_OVMF_SOURCES"))
    parser.add_argument("--package", default=os.path.join(HERE, "..", ".."))
    parser.add_argument("--work", default="ovmf-source-test")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    args = parser.parse_args()
    if not args.sources:
        print("ovmf_source_test: skipped: no OVMF sources given (set HDA_OVMF_SOURCES to a folder of the OVMF "
              "source tarballs or to an EDK2 tree with OvmfPkg)")
        return SKIPPED
    prepare(args)
    for name, info in Platform.builds.items():
        print("OVMF build with the %s release: %.1f s" % (name, info["seconds"]))
    print("; ".join("%s %.1f s" % item for item in Platform.times.items()))
    runs = [("target", Platform.runs["target"])] + [(name, run) for name, (_, proof_runs) in Platform.proofs.items()
                                                     for run in proof_runs]
    for name, run in runs:
        print("%s: boots to the shell: %s" % (name, ", ".join("%.1f s" % b.seconds for b in run.boots)))
    # What a DEBUG build says: the first boot (hda-duplex) and the machine
    # with no controller.
    debug_runs = Platform.proofs["q35-source-debug"][1]
    for run, what in ((debug_runs[0], "hda-duplex"), (debug_runs[-1], "no controller, two boots")):
        print("DEBUG log, %s:" % what)
        for line in MODULE_LINE.findall(run.debugcon):
            print("  | " + line)
    result = unittest.main(argv=[sys.argv[0], "-v"], exit=False).result
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
