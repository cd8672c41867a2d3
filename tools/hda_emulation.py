# Copyright (c) 2026, HdaSsid contributors. All rights reserved.
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""Boots the HD Audio subsystem-ID modules inside real UEFI firmware: Debian's
OVMF on QEMU's q35 machine (TCG), with QEMU's Intel HD Audio controller at
00:1F.3, OVMF's own PEI and DXE dispatchers, End-of-DXE signal and
non-volatile variable store across resets.

The UEFI Shell drives each boot from startup.nsh on a small FAT disk: it
saves what `dmpstore` shows of the record after the driver has run, then does
what the boot's step asks (store a record, reset). A test platform PEIM
reports on QEMU's debug console what HdaSsidSelectPei chose, and QEMU's
memory-region trace shows every configuration and register access of the
driver.
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import threading
import time
from dataclasses import dataclass, field

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import hda_ids  # noqa: E402
import ovmf_insert  # noqa: E402

VARIABLE_NAME = hda_ids.VARIABLE_NAME
VARIABLE_GUID = hda_ids.VARIABLE_GUID


@dataclass
class Ovmf:
    """One OVMF build: its code image, the secure-boot build of the same
    layout (plain OVMF has no read-only variable PPI in PEI, its secure-boot
    build does, so the PEI variable modules are copied from it) and its
    variable store template."""
    code: str
    secboot: str
    variables: str


# Debian's ovmf package: the 4 MB images run PEI in 32-bit mode (IA32 PEI,
# X64 DXE), the 2 MB ones in 64-bit mode (OvmfPkgX64).
DEBIAN_OVMF_DIR = "/usr/share/OVMF"


def debian_ovmf(directory=DEBIAN_OVMF_DIR, x64_pei=False):
    suffix = "" if x64_pei else "_4M"
    return Ovmf(os.path.join(directory, "OVMF_CODE%s.fd" % suffix),
                os.path.join(directory, "OVMF_CODE%s.secboot.fd" % suffix),
                os.path.join(directory, "OVMF_VARS%s.fd" % suffix))


def add_ovmf_arguments(parser, x64_pei=False):
    """--ovmf-code/-secboot/-vars (or --ovmf-x64-pei-...), Debian's by default."""
    default = debian_ovmf(x64_pei=x64_pei)
    prefix, what = ("--ovmf-x64-pei", "X64-PEI OVMF") if x64_pei else ("--ovmf", "OVMF")
    parser.add_argument(prefix + "-code", default=default.code, help="%s code image" % what)
    parser.add_argument(prefix + "-secboot", default=default.secboot,
                        help="%s secure-boot build of the same layout, for its PEI variable modules" % what)
    parser.add_argument(prefix + "-vars", default=default.variables, help="%s variable store template" % what)


def ovmf_from_arguments(args, x64_pei=False):
    prefix = "ovmf_x64_pei" if x64_pei else "ovmf"
    return Ovmf(*(getattr(args, "%s_%s" % (prefix, part)) for part in ("code", "secboot", "vars")))


PEI_VARIABLE_MODULES = ("FaultTolerantWritePei", "PeiVariable")

# Where q35 under Debian's OVMF (2022.11) puts its ECAM window and ACPI PM
# timer; OVMF from 2023-03 on moved the window to 0xE0000000.
Q35_ECAM_BASE = 0xB0000000
Q35_PM_TIMER_PORT = 0x608
ECAM_HDA = Q35_ECAM_BASE + 0xFB000  # 00:1F.3
TRACE_LINE = re.compile(r"memory_region_ops_(read|write) cpu \S+ mr \S+ addr (0x[0-9a-f]+) "
                        r"value (0x[0-9a-f]+) size (\d+) name '([^']+)'")


def store_command(value, attributes="-bs -rt -nv"):
    """Shell command that stores value as the record, little-endian, with
    the driver's attributes unless told otherwise."""
    data = value.to_bytes(4, "little").hex().upper()
    return "setvar %s -guid %s %s =%s" % (VARIABLE_NAME, VARIABLE_GUID, attributes, data)


@dataclass
class Access:
    kind: str  # "read" or "write"
    address: int
    value: int
    size: int
    region: str

    def __str__(self):
        return "%s%d 0x%08X = 0x%X" % (self.kind, self.size * 8, self.address, self.value)


@dataclass
class ResetPass:
    """A pass through the firmware that a warm reset ended before the shell."""
    policy: str                  # what the test platform PEIM reported
    probe: list                  # the driver's accesses


@dataclass
class Boot:
    number: int
    policy: str = ""             # what the test platform PEIM reported at end of PEI
    record: object = None        # the record after End of DXE: int, or None when absent
    dump: str = ""               # dmpstore's text
    seconds: float = 0.0         # from power-on or reset to the shell's prompt
    probe: list = field(default_factory=list)  # the driver's accesses, when found
    tool_probes: list = field(default_factory=list)  # the bring-up application's, if it ran
    resets: list = field(default_factory=list)  # ResetPasses before this boot reached the shell


@dataclass
class Run:
    boots: list
    accesses: list               # every traced access to 00:1F.3, the controller and flash
    files: dict                  # other files the shell wrote, by name
    serial: str
    seconds: float
    debugcon: str = ""           # what went to QEMU's debug console (port 0x402)


def build_firmware(work, ovmf, pei_files, dxe_files, name="OVMF_CODE_HDA.fd"):
    """A copy of OVMF's code image with the PEI variable modules and the given
    firmware files added."""
    with open(ovmf.code, "rb") as handle:
        code = handle.read()
    with open(ovmf.secboot, "rb") as handle:
        donor = handle.read()
    image = ovmf_insert.insert(
        code, [(p, open(p, "rb").read()) for p in pei_files], [(p, open(p, "rb").read()) for p in dxe_files],
        donor, PEI_VARIABLE_MODULES)
    path = os.path.join(work, name)
    with open(path, "wb") as handle:
        handle.write(image)
    return path


DRIVER_FILE_GUID = hda_ids.DXE_FILE_GUID
STUB_FILE_GUID = "5F1A2B3C-4D5E-4F60-8172-93A4B5C6D7E8"


def stub_peim_file(work, stub_peim, hdapack, name="PlatformStubPei.ffs"):
    """The test platform PEIM in a firmware file, dispatched at once."""
    depex = os.path.join(work, "true.depex")
    subprocess.run([hdapack, "depex", "--out", depex], check=True)
    stub = os.path.join(work, name)
    subprocess.run([hdapack, "ffs", "--out", stub, "--type", "peim", "--guid", STUB_FILE_GUID,
                    "--image", stub_peim, "--depex", depex, "--name", "PlatformStubPei"], check=True)
    return stub


def retarget_to_q35(hdapack, shipped, out, converge=None):
    """A copy of a shipped driver image or firmware file with q35's board
    settings, as a platform would set them at integration; converge True or
    False also sets its convergence reset (None: as shipped)."""
    subprocess.run([hdapack, "retarget", "--in", shipped, "--out", out, "--ecam-base", "0x%X" % Q35_ECAM_BASE,
                    "--pm-timer-port", "0x%X" % Q35_PM_TIMER_PORT] +
                   ([] if converge is None else ["--convergence-reset", "on" if converge else "off"]), check=True)
    return out


def manifest_version(release):
    """The version the release's firmware files carry (1.0.0+Board)."""
    with open(os.path.join(release, "HdaSsidSelectPei.inf")) as handle:
        return re.search(r"^\s*VERSION_STRING\s*=\s*(\S+)", handle.read(), re.M).group(1)


def build_board_firmware(work, ovmf, release, stub_peim, hdapack, retarget=False, converge=False):
    """OVMF with a release: the shipped PEIM's and driver's firmware files and
    the test platform PEIM. A driver that carries other settings than q35's
    under Debian's OVMF would touch nothing there; with retarget a copy set to
    q35's by hdapack retarget goes in instead (as a platform sets them at
    integration), without it that is an error (ValueError). With converge a
    copy whose convergence reset is on goes in, as a platform sets
    PcdHdaSsidConvergenceReset."""
    stub = stub_peim_file(work, stub_peim, hdapack)
    driver = os.path.join(release, "HdaSsidDetectDxe.ffs")
    if needs_retarget(release) and not retarget:
        raise ValueError("the driver of %s carries other settings than q35's" % release)
    if needs_retarget(release) or converge:
        driver = retarget_to_q35(hdapack, driver, os.path.join(work, "HdaSsidDetectDxeQ35.ffs"),
                                 True if converge else None)
    return build_firmware(work, ovmf, [stub, os.path.join(release, "HdaSsidSelectPei.ffs")], [driver])


def needs_retarget(release):
    return settings_differ_from_q35(BoardProfile.from_release(release))


def settings_differ_from_q35(profile):
    return (profile.ecam_base, profile.pm_timer_port) != (Q35_ECAM_BASE, Q35_PM_TIMER_PORT)


def near_codec(answer):
    """How an answer no QEMU codec gives is close to one that does: one hex
    digit off, or its halves swapped; '' when it is neither."""
    for codec, codec_answer in QEMU_CODECS.items():
        differing = [i for i in range(8) if (answer >> (4 * i)) & 0xF != (codec_answer >> (4 * i)) & 0xF]
        if len(differing) == 1:
            return "one hex digit from %s's 0x%08X: a typo?" % (codec, codec_answer)
        if (answer >> 16 | (answer & 0xFFFF) << 16) == codec_answer:
            return "%s's 0x%08X with its halves swapped: give the vendor first" % (codec, codec_answer)
    return ""


def startup_script(steps):
    """startup.nsh: boot N runs steps[N-1] (a list of shell commands) after
    saving the record as bootN.txt; the last step powers off."""
    lines = ["@echo -off", "fs0:"]
    for number, commands in enumerate(steps, 1):
        lines += ["if not exist boot%d.txt then" % number,
                  "  dmpstore -guid %s > boot%d.txt" % (VARIABLE_GUID, number)]
        lines += ["  " + command for command in commands]
        lines += ["  reset -s" if number == len(steps) else "  reset", "endif"]
    lines.append("reset -s")
    return ("\r\n".join(lines) + "\r\n").encode("ascii")


def make_disk(path, script, files=None, shell=None):
    """A FAT disk with startup.nsh and the given files ({name: host path});
    with shell, that UEFI Shell as the removable-media boot file, for a
    firmware that does not start its built-in shell by itself (EDK2's OVMF
    since 2025)."""
    if os.path.exists(path):
        os.remove(path)
    subprocess.run(["mkfs.fat", "-C", path, "4096"], check=True, stdout=subprocess.DEVNULL)
    if shell:
        subprocess.run(["mmd", "-i", path, "::/EFI", "::/EFI/BOOT"], check=True)
        subprocess.run(["mcopy", "-i", path, shell, "::/EFI/BOOT/BOOTX64.EFI"], check=True)
    script_path = path + ".startup.nsh"
    with open(script_path, "wb") as handle:
        handle.write(script)
    subprocess.run(["mcopy", "-i", path, script_path, "::/startup.nsh"], check=True)
    for name, source in (files or {}).items():
        subprocess.run(["mcopy", "-i", path, source, "::/" + name], check=True)


def read_disk_file(disk, name):
    """A file the shell wrote (UCS-2), as text; None when absent."""
    result = subprocess.run(["mcopy", "-n", "-i", disk, "::/" + name, "-"], capture_output=True)
    if result.returncode != 0:
        return None
    data = result.stdout
    return data.decode("utf-16") if data[:2] in (b"\xff\xfe", b"\xfe\xff") else data.decode("latin-1")


def parse_record(dump):
    """The record's value from dmpstore's text, or None when it is absent."""
    if dump is None or "No matching variables" in dump or VARIABLE_NAME not in dump:
        return None
    match = re.search(r"00000000:\s+((?:[0-9A-Fa-f]{2}\s+){4})", dump)
    if not match:
        raise ValueError("cannot read the record from dmpstore's output:\n" + dump)
    return int.from_bytes(bytes.fromhex(match.group(1).replace(" ", "")), "little")


def driver_windows(accesses, ecam_hda=ECAM_HDA):
    """Each probe of the controller (the driver's, or the bring-up
    application's): the guard's 32-bit reads of the vendor/device word, the
    class code, BAR0 and (64-bit BAR) its upper dword; when the controller is
    usable, on to the restore of the command byte, the second byte write to
    it."""
    def matches(index, kind, offset, size):
        return index < len(accesses) and \
            (accesses[index].kind, accesses[index].address, accesses[index].size) == (kind, ecam_hda + offset, size)

    windows, index = [], 0
    while index < len(accesses):
        if not (matches(index, "read", 0x00, 4) and matches(index + 1, "read", 0x08, 4)
                and matches(index + 2, "read", 0x10, 4)):
            index += 1
            continue
        end = index + 3
        if matches(end, "read", 0x14, 4):
            end += 1
        if matches(end, "read", 0x04, 1):  # usable: the command byte is saved
            command_writes = 0
            while end < len(accesses) and command_writes < 2:
                command_writes += matches(end, "write", 0x04, 1)
                end += 1
        windows.append(accesses[index:end])
        index = end
    return windows


def command_written(window, ecam_hda=ECAM_HDA):
    """Whether a probe enabled the controller (wrote its command byte)."""
    return any(a.kind == "write" and a.address == ecam_hda + 4 and a.size == 1 for a in window)


def run_machine(work, name, firmware, variables, steps, controller=True, codec="hda-duplex", timeout=180,
                files=None, outputs=(), smm=False, shell=None, ecam_base=Q35_ECAM_BASE, smbus=False):
    """Runs one QEMU machine through len(steps) boots; returns what it saw.
    codec is the QEMU codec on the controller's link, or None; files are
    copied onto the shell's disk; outputs are files the steps write there,
    returned in Run.files. smm runs a firmware built with SMM (its variable
    store then lives behind SMM); shell is a UEFI Shell to boot from the disk;
    ecam_base is where the firmware put q35's ECAM window; smbus leaves
    q35's SMBus controller at 00:1F.3 (then no HD Audio controller fits
    there)."""
    ecam_hda = ecam_base + 0xFB000
    disk = os.path.join(work, name + ".img")
    debugcon = os.path.join(work, name + ".debugcon")
    if os.path.exists(debugcon):
        os.remove(debugcon)
    make_disk(disk, startup_script(steps), files, shell)
    command = [
        "qemu-system-x86_64", "-machine", "q35" + ("" if smbus else ",smbus=off") + (",smm=on" if smm else ""), "-m", "256", "-nodefaults", "-nographic",
        "-serial", "stdio", "-net", "none",
        "-drive", "if=pflash,format=raw,unit=0,readonly=on,file=" + firmware,
        "-drive", "if=pflash,format=raw,unit=1,file=" + variables,
        "-drive", "file=%s,format=raw,if=virtio" % disk,
        "-debugcon", "file:" + debugcon, "-global", "isa-debugcon.iobase=0x402",
        "-trace", "memory_region_ops_read", "-trace", "memory_region_ops_write", "-D", "/dev/stderr"]
    if smm:
        command += ["-global", "driver=cfi.pflash01,property=secure,value=on"]
    if controller and not smbus:
        command += ["-device", "ich9-intel-hda,id=hda0,bus=pcie.0,addr=1f.3"]
        if codec:
            command += ["-device", "%s,bus=hda0.0,audiodev=snd0" % codec, "-audiodev", "none,id=snd0"]

    started = time.monotonic()
    process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, start_new_session=True)
    serial, prompts, accesses = [], [], []

    def read_serial():
        for raw in process.stdout:
            line = raw.decode("latin-1")
            serial.append(line)
            if "Press" in line and "startup.nsh" in line:  # once per boot, at the shell
                prompts.append(time.monotonic())

    def read_trace():
        for raw in process.stderr:
            match = TRACE_LINE.search(raw.decode("latin-1"))
            if not match:
                continue
            kind, address, value, size, region = match.groups()
            address = int(address, 16)
            if region == "intel-hda" or region == "system.flash0" or \
                    (region == "pcie-mmcfg-mmio" and ecam_hda <= address < ecam_hda + 0x1000) or \
                    (kind == "write" and (region, int(value, 16)) in PASS_MARKS):
                accesses.append(Access(kind, address, int(value, 16), int(size), region))

    def press_enter():
        # The shell waits 5 s before startup.nsh unless a key is pressed.
        while process.poll() is None:
            try:
                process.stdin.write(b"\r")
                process.stdin.flush()
            except (BrokenPipeError, ValueError):
                return
            time.sleep(0.3)

    threads = [threading.Thread(target=t, daemon=True) for t in (read_serial, read_trace, press_enter)]
    for thread in threads:
        thread.start()
    try:
        process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        raise RuntimeError("%s: QEMU did not finish within %d s; serial output:\n%s"
                           % (name, timeout, "".join(serial)[-3000:]))
    finally:
        for thread in threads[:2]:
            thread.join(timeout=5)
    elapsed = time.monotonic() - started

    with open(debugcon, "r", encoding="latin-1") as handle:
        console = handle.read()
    reports = [line.strip() for line in console.splitlines() if line.startswith("HdaSsidPolicy: SsidTable=")]
    resets_before = passes_reset(accesses, len(steps))
    accesses = [a for a in accesses if (a.region, a.value) not in PASS_MARKS]
    boots = []
    previous = started
    windows = driver_windows(accesses, ecam_hda)
    windows.reverse()
    reports.reverse()
    for number in range(1, len(steps) + 1):
        dump = read_disk_file(disk, "boot%d.txt" % number)
        # Each pass a warm reset ended: its PEI report and, with a
        # controller, its End-of-DXE probe; then the pass that reached the
        # shell.
        resets = [ResetPass(reports.pop() if reports else "", windows.pop() if controller and windows else [])
                  for _ in range(resets_before[number - 1])]
        boot = Boot(number, reports.pop() if reports else "", parse_record(dump), dump or "", resets=resets)
        if number <= len(prompts):
            boot.seconds, previous = prompts[number - 1] - previous, prompts[number - 1]
        boots.append(boot)
        if controller:
            # In time order: the boot's End-of-DXE probe, then the probes of
            # any bring-up application its shell step ran: its dry run and,
            # when that found the controller usable (it enabled it), its own
            # look.
            boot.probe = windows.pop() if windows else []
            for command in steps[number - 1]:
                if "HdaSsidInfo" in command and windows:
                    boot.tool_probes.append(windows.pop())
                    if command_written(boot.tool_probes[-1], ecam_hda) and windows:
                        boot.tool_probes.append(windows.pop())
    files = {}
    for name_on_disk in outputs:
        text = read_disk_file(disk, name_on_disk)
        if text is not None:
            files[name_on_disk] = text
    return Run(boots, accesses, files, "".join(serial), elapsed, console)


# Writes that mark a pass through the firmware in QEMU's trace: OVMF's SEC
# enables A20 through port 0x92 as each pass starts, and its ResetSystem
# asks the keyboard controller (command 0xFE) for a warm reset.
PASS_START = ("port92", 0x2)
WARM_RESET = ("i8042-cmd", 0xFE)
PASS_MARKS = (PASS_START, WARM_RESET)


def passes_reset(accesses, boots):
    """For each of the boots that reached the shell, how many passes before
    it a warm reset ended. Without pass marks (another firmware), none."""
    counts, resets, started = [], 0, False
    for access in accesses:
        mark = (access.region, access.value)
        if mark == PASS_START:
            if started:
                counts.append(resets)
                resets = 0
            started = True
        elif mark == WARM_RESET:
            resets, started = resets + 1, False
    if started:
        counts.append(resets)
    return (counts + [0] * boots)[:boots]


def fresh_variables(work, name, source):
    path = os.path.join(work, name + ".vars.fd")
    shutil.copyfile(source, path)
    return path


# QEMU's codecs (hw/audio/hda-codec.c): each answers Get Vendor ID and Get
# Subsystem ID alike, vendor 0x1AF4 and its own device number.
QEMU_CODECS = {"hda-duplex": 0x1AF40022, "hda-output": 0x1AF40012, "hda-micro": 0x1AF40032}
NO_CODEC = "none"                # the controller without a codec on its link
NO_CONTROLLER = "no-controller"  # no device at 00:1F.3
SETUPS = tuple(QEMU_CODECS) + (NO_CODEC, NO_CONTROLLER)


@dataclass
class Table:
    name: str
    hda_word: int
    crc: int


@dataclass
class Variant:
    name: str
    answer: int
    record: int
    table: Table


@dataclass
class BoardProfile:
    """A release's board, as its MANIFEST states it: name, settings, the
    zero-answer rule, the default table and the variants."""
    name: str
    profile: str
    ecam_base: int
    pm_timer_port: int
    records_zero: bool
    entries: int
    default: Table
    variants: list

    @classmethod
    def from_release(cls, release):
        path = os.path.join(release, "MANIFEST")
        try:
            with open(path) as handle:
                text = handle.read()
        except OSError as error:
            raise ValueError("%s: no MANIFEST (%s): is this a release folder?" % (release, error.strerror))
        board = re.search(r"^# board: (.*) \(profile (\S+)\), settings the driver carries by default: "
                          r"ECAM base (0x[0-9A-Fa-f]+), ACPI PM timer port (0x[0-9A-Fa-f]+)$", text, re.M)
        zero = re.search(r"^# zero answer: (recorded|not a variant)", text, re.M)
        default = re.search(r"^# table SsidTableDefault: (\d+) entries, 00:1F.3 word (0x[0-9A-F]+), "
                            r"crc32 (0x[0-9A-F]+)$", text, re.M)
        variants = re.findall(r"^# variant (\w+): answer (0x[0-9A-F]+), record (0x[0-9A-F]+), table (\w+), "
                              r"crc32 (0x[0-9A-F]+)$", text, re.M)
        if not (board and zero and default and variants):
            raise ValueError("%s does not describe its board profile (a release of an older build?)" % path)
        return cls(board.group(1), board.group(2), int(board.group(3), 16), int(board.group(4), 16),
                   zero.group(1) == "recorded", int(default.group(1)),
                   Table("SsidTableDefault", int(default.group(2), 16), int(default.group(3), 16)),
                   [Variant(n, int(a, 16), int(r, 16), Table(t, int(r, 16), int(c, 16)))
                    for n, a, r, t, c in variants])

    def recognised(self, answer):
        """The variant an answer is, "zero" for a zero answer the board
        records, or None."""
        variant = next((v for v in self.variants if v.answer == answer), None)
        return variant or ("zero" if answer == 0 and self.records_zero else None)

    def record_after(self, setup, before):
        """The record End of DXE leaves with this setup: None when deleted."""
        if setup == NO_CONTROLLER:
            return before  # nothing to examine: the record stays
        if setup == NO_CODEC:
            return None
        found = self.recognised(QEMU_CODECS[setup])
        return None if found is None else (0 if found == "zero" else found.record)

    def selected(self, record):
        """The variant whose table the PEIM chooses for a record, or None."""
        if record is None or record == self.default.hda_word:
            return None
        return next((v for v in self.variants if v.record == record), None)

    def report(self, record):
        """What the test platform PEIM reports for the table chosen for a record."""
        variant = self.selected(record)
        if variant is None:
            return NULL_REPORT
        return "HdaSsidPolicy: SsidTable=set hda=001F0300:%08X entries=%d terminator=ok crc32=%08X" % (
            variant.record, self.entries, variant.table.crc)

    def describe_policy(self, report):
        """The PEIM's choice in a few words, named from the MANIFEST."""
        if report == NULL_REPORT:
            return "no table chosen (SsidTable NULL)"
        match = re.search(r"hda=001F0300:([0-9A-F]{8}) entries=(\d+) terminator=(\w+) crc32=([0-9A-F]{8})", report)
        if not match:
            return "nothing reported"
        word, crc = int(match.group(1), 16), int(match.group(4), 16)
        table = next((v.table for v in self.variants if v.table.crc == crc), None)
        if table is None:
            return "a table this release does not carry (00:1F.3 = 0x%08X, crc32 0x%08X)" % (word, crc)
        return "%s (00:1F.3 = 0x%08X)" % (table.name, word)

    def describe_answer(self, answer):
        found = self.recognised(answer)
        if found is None:
            return "not a known variant"
        return "no subsystem ID, recorded as 0" if found == "zero" else "variant %s" % found.name

    def playable(self):
        """The QEMU codec that plays each variant, where one does."""
        codecs = {answer: codec for codec, answer in QEMU_CODECS.items()}
        return [(v, codecs[v.answer]) for v in self.variants if v.answer in codecs]


NULL_REPORT = "HdaSsidPolicy: SsidTable=NULL"


def describe_probe(probe, profile=None):
    """What the driver asked the codecs and what they answered, from its
    traced accesses; each answer named by the profile when one is given."""
    if not probe:
        return "no probe seen"
    hda = [a for a in probe if a.region == "intel-hda"]
    if not hda:
        return "no usable controller: nothing touched"
    statests = next((a.value for a in hda if a.kind == "read" and a.size == 1 and a.address & 0xFFF == 0x0E), 0)
    parts = ["STATESTS 0x%02X" % statests]
    codecs = {}
    verb = None
    for access in hda:
        offset = access.address & 0xFFF
        if access.kind == "write" and offset == 0x60:
            verb = access.value
            codecs.setdefault(verb >> 28, []).append([verb, None])
        elif access.kind == "read" and offset == 0x64 and verb is not None:
            codecs[verb >> 28][-1][1] = access.value
    for codec, exchanges in sorted(codecs.items()):
        answers = []
        for sent, answer in exchanges:
            what = "vendor ID" if sent & 0xFFFFFFF == 0x000F0000 else "subsystem ID"
            answers.append("%s %s" % (what, "timed out" if answer is None else "0x%08X" % answer))
        text = "codec %d: %s" % (codec, ", ".join(answers))
        last = exchanges[-1]
        if profile and last[0] & 0xFFFFFFF == 0x001F2000 and last[1] is not None:
            text += " (%s)" % profile.describe_answer(last[1])
        parts.append(text)
    if not codecs:
        parts.append("no codec flagged: no verb sent")
    return "; ".join(parts)


def probe_answers(probe):
    """The driver's answer reads (Immediate Response), in order."""
    return [a.value for a in probe if a.region == "intel-hda" and a.kind == "read" and a.address & 0xFFF == 0x64]


# The emulation proof of a board profile: boots over one variable store
# through a sequence of setups (a QEMU codec, none, no controller), each
# boot checked against what the profile says: the table chosen in PEI for
# the previous boot's record, the codec's answers, the record End of DXE
# leaves. One more boot at the end shows what the last record selects.

@dataclass
class ProofBoot:
    number: int
    setup: str
    before: object               # the record the boot started with
    boot: Boot
    expected_report: str
    expected_record: object
    differences: list = field(default_factory=list)
    extra: bool = False          # the boot that only shows the last record's choice
    report: str = ""             # what HdaSsidInfo.efi printed in this boot, when it ran
    expected_resets: int = 0     # warm resets the driver's convergence reset asks for


# QEMU's HD Audio controller has a read-only subsystem ID (1AF4:1100): the
# emulated platform never applies the PEIM's table.
QEMU_HDA_SUBSYSTEM = 0x11001AF4


def convergence_resets(profile, before, after):
    """Warm resets the driver asks for when its convergence reset is on: one
    when the boot changed the record and the next boot's word (the record's
    variant table's, else the default table's) is not what QEMU's 0x2C
    holds. A boot that changed nothing after that asks for none."""
    if after == before:
        return 0
    following = after if after not in (None, 0) else profile.default.hda_word
    return 0 if following == QEMU_HDA_SUBSYSTEM else 1


def default_sequence(profile):
    """Every variant QEMU can play, in the profile's order, then no codec,
    then no controller; empty when QEMU plays none of them."""
    played = [codec for _, codec in profile.playable()]
    return played + [NO_CODEC, NO_CONTROLLER] if played else []


def group_setups(setups):
    """[setup, boots] for each run of equal setups: one machine each."""
    groups = []
    for setup in setups:
        if groups and groups[-1][0] == setup:
            groups[-1][1] += 1
        else:
            groups.append([setup, 1])
    return groups


INFO_COMMAND = "HdaSsidInfo.efi > info%d.txt"


def run_proof(profile, setups, machine, info=False, converge=False):
    """Runs the setups over one store; machine(name, steps, setup, outputs)
    runs one QEMU machine through len(steps) boots and returns its Run, with
    the files named in outputs that the steps wrote. Consecutive boots of one
    setup share a machine; the last machine boots once more. With info, every
    boot with a controller runs HdaSsidInfo.efi from the shell, after End of
    DXE, and its report goes with the boot. Returns the ProofBoots and the
    Runs. With converge, the driver's convergence reset is on: a boot that
    changes the record is expected to reset once (see convergence_resets)."""
    groups = group_setups(setups)
    proof, runs, record, number = [], [], None, 0
    for index, (setup, count) in enumerate(groups):
        boots = count + (1 if index == len(groups) - 1 else 0)
        with_info = info and setup != NO_CONTROLLER
        steps = [[INFO_COMMAND % (i + 1)] if with_info else [] for i in range(boots)]
        outputs = ["info%d.txt" % (i + 1) for i in range(boots)] if with_info else []
        run = machine("proof-%d-%s" % (index + 1, setup), steps, setup, outputs)
        runs.append(run)
        for position, boot in enumerate(run.boots):
            number += 1
            after = profile.record_after(setup, record)
            entry = ProofBoot(number, setup, record, boot, profile.report(record), after,
                              extra=position == count, report=run.files.get("info%d.txt" % (position + 1), ""),
                              expected_resets=convergence_resets(profile, record, after)
                              if converge and setup != NO_CONTROLLER else 0)
            check_boot(profile, entry, run)
            proof.append(entry)
            record = after
    return proof, runs


def capture_of(report):
    """The hda-capture lines of an HdaSsidInfo.efi report, as text."""
    return "".join(line.rstrip("\r\n") + "\n" for line in report.splitlines() if line.startswith("hda-capture "))


def verdict_of(report):
    """The verdict line of an HdaSsidInfo.efi report, or ''."""
    return next((line.strip() for line in reversed(report.splitlines()) if line.startswith("Verdict: ")), "")


def check_boot(profile, entry, run):
    boot, differences = entry.boot, entry.differences
    if len(boot.resets) != entry.expected_resets:
        differences.append("%d warm resets after End of DXE, the profile says %d" % (
            len(boot.resets), entry.expected_resets))
    # PEI of the boot's first pass chose from the record it started with;
    # after a warm reset, from the record that pass left.
    first = boot.resets[0].policy if boot.resets else boot.policy
    if first != entry.expected_report:
        differences.append("PEI chose %s, the profile says %s" % (
            profile.describe_policy(first), profile.describe_policy(entry.expected_report)))
    if boot.resets and boot.policy != profile.report(entry.expected_record):
        differences.append("after the warm reset PEI chose %s, the profile says %s" % (
            profile.describe_policy(boot.policy), profile.describe_policy(profile.report(entry.expected_record))))
    if boot.record != entry.expected_record:
        differences.append("End of DXE left record %s, the profile says %s" % (
            record_text(boot.record), record_text(entry.expected_record)))
    if entry.setup in QEMU_CODECS:
        answer = QEMU_CODECS[entry.setup]
        if probe_answers(boot.probe) != [answer, answer]:
            differences.append("the driver did not read the codec's answers 0x%08X twice (%s)" % (
                answer, describe_probe(boot.probe, profile)))
    elif entry.setup == NO_CODEC:
        if [a for a in boot.probe if a.region == "intel-hda" and a.address & 0xFFF == 0x60]:
            differences.append("a verb was sent with no codec flagged")
    elif [a for a in run.accesses if a.kind == "write" and a.region != "system.flash0"]:
        # Firmware itself may write its flash (OVMF's flash driver probes it);
        # nothing may reach 00:1F.3's configuration space or a controller.
        differences.append("a write reached 00:1F.3 with no controller fitted")


def record_text(value):
    return "none" if value is None else "0x%08X" % value


def print_proof(profile, proof, out=sys.stdout):
    """Each boot as observed: the record the store held when it started (the
    one the boot before left), the table PEI chose, what the driver asked and
    was answered, the record End of DXE left."""
    previous = None
    for entry in proof:
        boot = entry.boot
        print(file=out)
        what = "no codec" if entry.setup == NO_CODEC else "no controller" if entry.setup == NO_CONTROLLER \
            else "codec " + entry.setup
        extra = ", to see what the last record selects" if entry.extra else ""
        print("Boot %d, %s (%.1f s to the shell%s)" % (entry.number, what, boot.seconds, extra), file=out)
        held = "none (a fresh store)" if previous is None else record_text(previous.boot.record)
        for reset in boot.resets:
            print("  PEI    record in the store: %-10s -> %s" % (held, profile.describe_policy(reset.policy)),
                  file=out)
            print("  DXE    %s" % describe_probe(reset.probe, profile), file=out)
            print("  RESET  the driver asked for a warm reset after End of DXE (record changed, next boot's "
                  "subsystem ID not 0x%08X)" % QEMU_HDA_SUBSYSTEM, file=out)
            held = record_text(boot.record) + " (left by the pass the reset ended)"
        print("  PEI    record in the store: %-10s -> %s" % (held, profile.describe_policy(boot.policy)), file=out)
        if entry.setup == NO_CONTROLLER:
            print("  DXE    no device at 00:1F.3: nothing written", file=out)
            print("         record after End of DXE: %s" % record_text(boot.record), file=out)
        else:
            print("  DXE    %s" % describe_probe(boot.probe, profile), file=out)
            print("         record after End of DXE: %s" % (
                "none" if boot.record is None else record_text(boot.record)), file=out)
        for difference in entry.differences:
            print("  DIFFERS %s" % difference, file=out)
        if entry.report:
            print("  INFO   %s" % (verdict_of(entry.report) or "HdaSsidInfo.efi printed no verdict"), file=out)
        previous = entry


def variant_outcomes(profile, proof):
    """[(variant, proven, what)] for each variant of the profile: proven when
    a boot with the QEMU codec that gives its answer recorded it and chose
    its table in the next boot, as the profile says."""
    outcomes = []
    for variant in profile.variants:
        codec = dict((v.name, c) for v, c in profile.playable()).get(variant.name)
        if codec is None:
            near = near_codec(variant.answer)
            outcomes.append((variant, False, "not provable in emulation: no QEMU codec answers 0x%08X%s" % (
                variant.answer, " (%s)" % near if near else "")))
            continue
        boots = [e for e in proof if e.setup == codec]
        chosen = [e for e in proof if e.before == variant.record]
        bad = [e for e in boots + chosen if e.differences]
        if not boots:
            outcomes.append((variant, False, "not booted (the sequence has no %s boot)" % codec))
        elif bad:
            outcomes.append((variant, False, "FAILED: boots %s differ from the profile" % ", ".join(
                str(e.number) for e in bad)))
        elif not chosen:
            outcomes.append((variant, False, "recorded with %s, but no later boot showed its table chosen" % codec))
        else:
            outcomes.append((variant, True, "proven: %s recorded 0x%08X (boot %s), and the next boot chose %s" % (
                codec, variant.record, boots[0].number, variant.table.name)))
    return outcomes
