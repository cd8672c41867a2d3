#!/usr/bin/env python3
"""The boot-by-boot story on the emulated board (OVMF on QEMU q35), with the
emulated board's own release: the codec QEMU fits is one of that board
profile's variants, so what HdaSsidDetectDxe records at End of DXE decides
which table HdaSsidSelectPei chooses in the next boot's PEI phase. Nothing
is patched: the codec is swapped between boots, as a board is reworked.

Usage: demo.py --release DIR --stub-peim EFI --hdapack EXE --work DIR
               [--ovmf-code FD --ovmf-secboot FD --ovmf-vars FD]   (Debian's 4 MB OVMF by default)
DIR is the emulated board's release folder (build/release-q35), EFI that
build's test platform PEIM.
"""

import argparse
import os
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import hda_emulation as emu  # noqa: E402

# (QEMU codec, shell commands after the driver has run, one per boot)
MACHINES = [
    ("hda-duplex", [[], []]),
    ("hda-output", [[], ["HdaSsidInfo.efi > info.txt"]]),
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
    print("Emulated board: QEMU q35, Intel HD Audio at 00:1F.3, Debian's OVMF with the emulated board's")
    print("HdaSsidSelectPei (PEI) and HdaSsidDetectDxe (DXE); its variants are QEMU's codecs. One variable")
    print("store across resets; the codec is swapped once, between boots 2 and 3.")
    firmware = emu.build_board_firmware(args.work, ovmf, args.release, args.stub_peim, args.hdapack)
    variables = emu.fresh_variables(args.work, "demo", ovmf.variables)
    number, before, info = 0, None, None
    for codec, steps in MACHINES:
        run = emu.run_machine(args.work, "demo-" + codec, firmware, variables, steps, codec=codec,
                              files={"HdaSsidInfo.efi": os.path.join(args.release, "HdaSsidInfo.efi")},
                              outputs=["info.txt"])
        for boot in run.boots:
            number += 1
            print()
            print("Boot %d, codec %s (%.1f s to the shell)" % (number, codec, boot.seconds))
            print("  PEI    record from the last boot: %-10s -> %s" % (record_text(before),
                                                                      emu.describe_policy(boot.policy)))
            print("  DXE    %s" % emu.describe_probe(boot.probe))
            print("         record after End of DXE: %s" % (
                "deleted (no known codec answer)" if boot.record is None else record_text(boot.record)))
            before = boot.record
        info = run.files.get("info.txt", info)
    if info:
        print()
        print("HdaSsidInfo.efi in the last boot:")
        for line in info.splitlines():
            if line.strip():
                print("  | " + line.rstrip())
    print()
    print("Done in %.1f s." % (time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
