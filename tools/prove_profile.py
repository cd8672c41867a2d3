#!/usr/bin/env python3
# Copyright (c) 2026, HdaSsid contributors. All rights reserved.
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""Proves a board profile in emulation: its release's HdaSsidSelectPei and
HdaSsidDetectDxe inside Debian's OVMF on QEMU's q35 machine, booted over one
variable store through a sequence of setups: one of QEMU's codecs on the HD
Audio link (hda-duplex, hda-output, hda-micro), no codec (none), or no
controller at 00:1F.3 (no-controller). For each boot it prints what it
observed: the record the store held, the table PEI chose, what the driver
asked the codec and what it answered, and the record End of DXE left, all
named from the release's MANIFEST, and checks each against what the profile
says; one more boot at the end shows what the last record selects. The
summary accounts for every variant: proven (booted with the QEMU codec that
gives its answer, recorded, and its table chosen) or not provable (no QEMU
codec gives its answer).

Exit status: 0 when every boot is as the profile says and every variant is
proven; 1 when a boot differs; 3 when a variant could not be proven (0 with
--accept-unprovable); 2 when nothing could be proven (no QEMU or OVMF, none
of the variants is one of QEMU's codecs, or a driver whose settings are not
q35's without --retarget-to-q35).

  prove_profile.py --release build/release-q35        a release of a build tree
  prove_profile.py --profile boards/MyBoard.h         builds that profile's release first
  prove_profile.py --release DIR --boots hda-micro,none,hda-duplex

The release is proven as shipped: its driver must carry q35's settings under
Debian's OVMF (ECAM 0xB0000000, PM timer 0x608). A board's own settings are
not q35's; --retarget-to-q35 then proves a copy of the driver set to q35's
with hdapack retarget, as a platform sets them at integration, and the
summary says so.
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
    parser.add_argument("--retarget-to-q35", action="store_true",
                        help="prove a copy of the driver set to q35's settings when the release carries others")
    parser.add_argument("--convergence-reset", action="store_true",
                        help="prove a copy of the driver whose convergence reset is on (as a platform sets "
                        "PcdHdaSsidConvergenceReset): one warm reset after each boot that changes the record")
    parser.add_argument("--accept-unprovable", action="store_true",
                        help="exit 0 when every boot is as the profile says although some variants could not be "
                        "proven (no QEMU codec gives their answers)")
    parser.add_argument("--stub-peim", help="the test platform PEIM (default: the build tree's IA32 one)")
    parser.add_argument("--hdapack", help="hdapack (default: the build tree's)")
    parser.add_argument("--work", help="scratch folder (default: prove-<profile> in the release's build tree)")
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
    started = time.monotonic()
    if args.profile:
        name = os.path.splitext(os.path.basename(args.profile))[0]
        work = os.path.abspath(args.work or os.path.join(os.path.dirname(HERE), "build", "prove-" + name))
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)
        release = build_release(args.profile, work)
    else:
        release = os.path.abspath(args.release)
    tree = os.path.dirname(release)
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
    if not args.profile:
        work = os.path.abspath(args.work or os.path.join(tree, "prove-" + profile.profile))
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)

    setups = args.boots.split(",") if args.boots else emu.default_sequence(profile)
    unknown = [s for s in setups if s not in emu.SETUPS]
    if unknown:
        print("prove_profile: unknown setup %s; the setups are: %s" % (", ".join(unknown), ", ".join(emu.SETUPS)),
              file=sys.stderr)
        return 2
    print("Board profile %s (%s), from %s" % (profile.profile, profile.name, release))
    for variant in profile.variants:
        codec = dict((v.name, c) for v, c in profile.playable()).get(variant.name)
        near = "" if codec else emu.near_codec(variant.answer)
        print("  variant %-10s answer 0x%08X, record 0x%08X, %s: %s" % (
            variant.name, variant.answer, variant.record, variant.table.name,
            "played by QEMU's " + codec if codec else "no QEMU codec answers so" + (" (%s)" % near if near else "")))
    shipped = (profile.ecam_base, profile.pm_timer_port)
    q35 = (emu.Q35_ECAM_BASE, emu.Q35_PM_TIMER_PORT)
    retargeted = shipped != q35
    if retargeted and not args.retarget_to_q35:
        print("\nprove_profile: the release's driver carries ECAM base 0x%X and PM-timer port 0x%X; q35 under "
              "Debian's OVMF has ECAM base 0x%X and PM-timer port 0x%X. Booted as shipped, the driver would touch "
              "nothing there and write no record, so the release as shipped cannot be proven in emulation.\n"
              "  If these are your board's settings (the base address of ACPI MCFG's entry for segment 0, bus 0, "
              "and the FADT's PM_TMR_BLK; HdaSsidInfo.efi prints both), prove the rest of the release with a copy "
              "of the driver set to q35's: add --retarget-to-q35.\n"
              "  If they were copied from another board's profile, correct them first (docs/porting.md)."
              % (shipped + q35), file=sys.stderr)
        return 2
    if not setups:
        print("\nNo variant of this profile is one of QEMU's codecs (%s), so emulation cannot prove it. What "
              "proves it: the host tests of the profile's rules (ctest, ProfileOfTheBoard) and HdaSsidInfo.efi "
              "on the board itself." % QEMU_ANSWERS)
        return 2
    if retargeted:
        print("The driver carries ECAM base 0x%X and PM timer port 0x%X; a copy set to q35's under Debian's OVMF "
              "(0x%X, 0x%X) by hdapack retarget is booted (--retarget-to-q35), not the driver as shipped."
              % (shipped + q35))
    else:
        print("The driver carries q35's settings under Debian's OVMF: the release is booted as shipped.")
    if args.convergence_reset:
        print("The driver's convergence reset is on (a copy set so by hdapack retarget): a boot that changes the "
              "record is to reset once, as QEMU's subsystem ID (0x%08X) is read-only." % emu.QEMU_HDA_SUBSYSTEM)
    print("One variable store across the boots: %s." % ", ".join(setups))

    firmware = emu.build_board_firmware(work, ovmf, release, stub, hdapack, retarget=args.retarget_to_q35,
                                        converge=args.convergence_reset)
    variables = emu.fresh_variables(work, "proof", ovmf.variables)
    info = os.path.join(release, "HdaSsidInfo.efi")

    def machine(name, steps, setup, outputs):
        return emu.run_machine(work, name, firmware, variables, steps, controller=setup != emu.NO_CONTROLLER,
                               codec=setup if setup in emu.QEMU_CODECS else None,
                               files={"HdaSsidInfo.efi": info}, outputs=outputs)

    proof, runs = emu.run_proof(profile, setups, machine, info=not args.no_info, converge=args.convergence_reset)
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
    outcomes = emu.variant_outcomes(profile, proof)
    print("\nVariants:")
    for variant, proven, what in outcomes:
        print("  %-10s 0x%08X  %s" % (variant.name, variant.answer, what))
    unproven = [variant for variant, proven, _ in outcomes if not proven]
    print("\n%s: %d boots in %.1f s, %s; %d of %d variants proven%s." % (
        profile.profile, len(proof), time.monotonic() - started,
        "every one as the profile says" if not differing else
        "%d differ from the profile (boots %s)" % (len(differing), ", ".join(str(e.number) for e in differing)),
        len(outcomes) - len(unproven), len(outcomes),
        " (not proven: %s%s)" % (", ".join(v.name for v in unproven),
                                 ", accepted by --accept-unprovable" if args.accept_unprovable else "")
        if unproven else ""))
    if args.convergence_reset:
        print("Convergence reset: warm resets per boot %s (%d in all)." % (
            ", ".join("%d:%d" % (e.number, len(e.boot.resets)) for e in proof),
            sum(len(e.boot.resets) for e in proof)))
    if retargeted:
        print("Proven with a copy of the driver retargeted to ECAM base 0x%X, PM-timer port 0x%X, not the release "
              "as shipped (its driver carries 0x%X, 0x%X)." % (q35 + shipped))
    if differing:
        return 1
    return 3 if unproven and not args.accept_unprovable else 0


if __name__ == "__main__":
    sys.exit(main())
