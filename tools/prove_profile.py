#!/usr/bin/env python3
# Copyright (c) 2026, HdaSsid contributors. All rights reserved.
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""Proves a board profile in emulation: its release's HdaSsidSelectPei and
HdaSsidDetectDxe inside Debian's OVMF on QEMU's q35 machine, booted over one
variable store through a sequence of setups: one of QEMU's codecs on the HD
Audio link (hda-duplex, hda-output, hda-micro), no codec (none), or no
controller at 00:1F.3 (no-controller). For each boot it prints the table
PEI chose, what the driver asked the codec and what it answered, and the
record End of DXE left, all named from the release's MANIFEST, and checks
each against what the profile says; one more boot at the end shows what the
last record selects. Exit status 0 when every boot is as the profile says,
1 when one differs, 2 when nothing could be proven (no QEMU or OVMF, or
none of the profile's variants is one of QEMU's codecs).

  prove_profile.py --release build/release-q35        a release of a build tree
  prove_profile.py --profile boards/MyBoard.h         builds that profile's release first
  prove_profile.py --release DIR --boots hda-micro,none,hda-duplex

The default sequence is every variant QEMU can play, in the profile's order,
then none, then no-controller. A driver whose settings are not q35's under
Debian's OVMF (ECAM 0xB0000000, PM timer 0x608) is set to them with hdapack
retarget first, as a platform sets them at integration.
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import hda_emulation as emu  # noqa: E402

QEMU_ANSWERS = ", ".join("%s 0x%08X" % item for item in emu.QEMU_CODECS.items())


def build_release(profile, work):
    """Configures and builds a release-only tree for the profile; returns it."""
    tree = os.path.join(work, "build")
    source = os.path.dirname(HERE)
    configure = ["cmake", "-S", source, "-B", tree, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                 "-DCMAKE_CXX_COMPILER=clang++", "-DHDA_RELEASE_ONLY=ON",
                 "-DHDA_BOARD_PROFILE=" + os.path.abspath(profile)]
    for command in (configure, ["cmake", "--build", tree]):
        result = subprocess.run(command, capture_output=True, text=True, errors="replace")
        if result.returncode != 0:
            sys.stderr.write(result.stdout[-4000:] + result.stderr[-4000:])
            raise SystemExit("prove_profile: building the release of %s failed" % profile)
    return os.path.join(tree, "release")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter,
                                     epilog="\n\n".join(__doc__.split("\n\n")[1:]))
    source = parser.add_mutually_exclusive_group(required=True)
    source.add_argument("--release", help="a release folder (its build tree gives the test PEIM and hdapack)")
    source.add_argument("--profile", help="a board profile header: its release is built first")
    parser.add_argument("--boots", help="comma-separated setups, of: " + ", ".join(emu.SETUPS))
    parser.add_argument("--stub-peim", help="the test platform PEIM (default: the build tree's IA32 one)")
    parser.add_argument("--hdapack", help="hdapack (default: the build tree's)")
    parser.add_argument("--work", default="build/prove", help="scratch folder (default: build/prove)")
    parser.add_argument("--no-info", action="store_true",
                        help="do not run HdaSsidInfo.efi in the boots with a controller")
    parser.add_argument("--save-captures", metavar="DIR",
                        help="write the dry-run capture of each setup HdaSsidInfo.efi ran in to DIR/<profile>-<setup>.txt "
                        "(tests/captures/ holds those the bench replays)")
    emu.add_ovmf_arguments(parser)
    args = parser.parse_args()

    ovmf = emu.ovmf_from_arguments(args)
    missing = [path for path in (ovmf.code, ovmf.secboot, ovmf.variables) if not os.path.exists(path)]
    if not shutil.which("qemu-system-x86_64") or missing:
        print("prove_profile: needs qemu-system-x86_64 and OVMF (./bootstrap.sh installs Debian's); missing: %s"
              % ", ".join(missing or ["qemu-system-x86_64"]), file=sys.stderr)
        return 2
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    started = time.monotonic()
    release = build_release(args.profile, args.work) if args.profile else args.release
    tree = os.path.dirname(os.path.abspath(release))
    stub = args.stub_peim or os.path.join(tree, "firmware-ia32", "tests", "firmware", "PlatformStubPei.efi")
    hdapack = args.hdapack or os.path.join(tree, "hdapack", "hdapack")
    for what, path in (("the test platform PEIM", stub), ("hdapack", hdapack)):
        if not os.path.exists(path):
            print("prove_profile: %s is not at %s (give --stub-peim / --hdapack)" % (what, path), file=sys.stderr)
            return 2
    try:
        profile = emu.BoardProfile.from_release(release)
    except ValueError as error:
        print("prove_profile: %s" % error, file=sys.stderr)
        return 2

    setups = args.boots.split(",") if args.boots else emu.default_sequence(profile)
    unknown = [s for s in setups if s not in emu.SETUPS]
    if unknown:
        print("prove_profile: unknown setup %s; the setups are: %s" % (", ".join(unknown), ", ".join(emu.SETUPS)),
              file=sys.stderr)
        return 2
    print("Board profile %s (%s), from %s" % (profile.profile, profile.name, release))
    for variant in profile.variants:
        codec = dict((v.name, c) for v, c in profile.playable()).get(variant.name)
        print("  variant %-10s answer 0x%08X, record 0x%08X, %s: %s" % (
            variant.name, variant.answer, variant.record, variant.table.name,
            "played by QEMU's " + codec if codec else "no QEMU codec answers so"))
    if not setups:
        print("\nNo variant of this profile is one of QEMU's codecs (%s), so emulation cannot prove it. What "
              "proves it: the host tests of the profile's rules (ctest, ProfileOfTheBoard) and HdaSsidInfo.efi "
              "on the board itself." % QEMU_ANSWERS)
        return 2
    if emu.needs_retarget(release):
        print("The driver carries ECAM base 0x%X and PM timer port 0x%X; set to q35's under Debian's OVMF "
              "(0x%X, 0x%X) with hdapack retarget, as a platform sets them at integration."
              % (profile.ecam_base, profile.pm_timer_port, emu.Q35_ECAM_BASE, emu.Q35_PM_TIMER_PORT))
    else:
        print("The driver carries q35's settings under Debian's OVMF: nothing is patched.")
    print("One variable store across the boots: %s." % ", ".join(setups))

    firmware = emu.build_board_firmware(args.work, ovmf, release, stub, hdapack)
    variables = emu.fresh_variables(args.work, "proof", ovmf.variables)
    info = os.path.join(release, "HdaSsidInfo.efi")

    def machine(name, steps, setup, outputs):
        return emu.run_machine(args.work, name, firmware, variables, steps, controller=setup != emu.NO_CONTROLLER,
                               codec=setup if setup in emu.QEMU_CODECS else None,
                               files={"HdaSsidInfo.efi": info}, outputs=outputs)

    proof, runs = emu.run_proof(profile, setups, machine, info=not args.no_info)
    emu.print_proof(profile, proof)
    if args.save_captures:
        os.makedirs(args.save_captures, exist_ok=True)
        for entry in proof:
            path = os.path.join(args.save_captures, "%s-%s.txt" % (profile.profile, entry.setup))
            if entry.report and not os.path.exists(path):
                with open(path, "w") as handle:
                    handle.write(emu.capture_of(entry.report))
                print("capture of boot %d written to %s" % (entry.number, path))
    report = next((e.report for e in reversed(proof) if e.report and e.setup in emu.QEMU_CODECS), None)
    if report:
        print("\nHdaSsidInfo.efi in the last boot with a codec (without its capture):")
        for line in report.splitlines():
            if line.strip() and not line.startswith("hda-capture "):
                print("  | " + line.rstrip())
    differing = [entry for entry in proof if entry.differences]
    print("\n%s: %d boots in %.1f s, %s." % (
        profile.profile, len(proof), time.monotonic() - started,
        "every one as the profile says" if not differing else
        "%d differ from the profile (boots %s)" % (len(differing), ", ".join(str(e.number) for e in differing))))
    return 1 if differing else 0


if __name__ == "__main__":
    sys.exit(main())
