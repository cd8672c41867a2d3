#!/usr/bin/env python3
"""The boot-by-boot story on the emulated board (OVMF on QEMU q35): what
HdaSsidSelectPei chose in PEI, what the codec answered HdaSsidDetectDxe at
End of DXE, and what the driver stored or deleted.

QEMU's codec always answers 0x1AF40022 (not a known variant), so between
boots the UEFI Shell stores the record a board with the A195 or A194 codec
would leave, to show the PEIM's choice in the next boot.

The driver is the shipped one, its board settings set to q35's by hdapack
retarget; the bring-up application is the shipped one as it is (it finds the
board in the firmware's ACPI tables).

Usage: demo.py --release DIR --stub-peim EFI --hdapack EXE --work DIR
               [--ovmf-code FD --ovmf-secboot FD --ovmf-vars FD]   (Debian's 4 MB OVMF by default)
"""

import argparse
import os
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import hda_emulation as emu  # noqa: E402

A195, A194 = 0xA1951458, 0xA1941458
STEPS = [  # (shell commands after the driver has run, what they stand for)
    ([emu.store_command(A195)], "stores 0xA1951458, what a board with the A195 codec records, and resets"),
    ([emu.store_command(A194)], "stores 0xA1941458, what a board with the A194 codec records, and resets"),
    (["HdaSsidInfo.efi > info.txt"], "runs HdaSsidInfo.efi (below) and powers off"),
]


def record_text(value):
    return "none" if value is None else "0x%08X" % value


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    for option in ("--release", "--stub-peim", "--hdapack", "--work"):
        parser.add_argument(option, required=True)
    emu.add_ovmf_arguments(parser)
    args = parser.parse_args()
    ovmf = emu.ovmf_from_arguments(args)
    missing = [path for path in (ovmf.code, ovmf.secboot, ovmf.variables) if not os.path.exists(path)]
    if not shutil.which("qemu-system-x86_64") or missing:
        print("demo: needs qemu-system-x86_64 and OVMF (./bootstrap.sh installs Debian's); missing: %s"
              % ", ".join(missing or ["qemu-system-x86_64"]), file=sys.stderr)
        return 1
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    started = time.monotonic()
    print("Emulated board: QEMU q35, Intel HD Audio at 00:1F.3 with an hda-duplex codec, Debian's OVMF")
    print("with HdaSsidSelectPei (PEI) and HdaSsidDetectDxe (DXE) inserted; one variable store across resets.")
    firmware = emu.build_board_firmware(args.work, ovmf, args.release, args.stub_peim, args.hdapack)
    run = emu.run_machine(args.work, "demo", firmware, emu.fresh_variables(args.work, "demo", ovmf.variables),
                          [commands for commands, _ in STEPS], files={"HdaSsidInfo.efi": os.path.join(args.release, "HdaSsidInfo.efi")},
                          outputs=["info.txt"])
    before = None
    for boot, (_, story) in zip(run.boots, STEPS):
        print()
        print("Boot %d (%.1f s to the shell)" % (boot.number, boot.seconds))
        print("  PEI    record from the last boot: %-10s -> %s" % (record_text(before),
                                                                  emu.describe_policy(boot.policy)))
        print("  DXE    %s" % emu.describe_probe(boot.probe))
        print("         record after End of DXE: %s" % (
            "deleted (no known codec answer)" if boot.record is None else record_text(boot.record)))
        print("  Shell  %s" % story)
        before = None
        for commands, _ in STEPS[boot.number - 1:boot.number]:
            for command in commands:
                if command.startswith("setvar"):
                    before = int.from_bytes(bytes.fromhex(command.split("=")[-1]), "little")
    info = run.files.get("info.txt")
    if info:
        print()
        print("HdaSsidInfo.efi on the emulated board:")
        for line in info.splitlines():
            if line.strip():
                print("  | " + line.rstrip())
    print()
    print("Done in %.1f s." % (time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
