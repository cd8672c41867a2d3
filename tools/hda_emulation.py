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
import ovmf_insert  # noqa: E402

VARIABLE_NAME = "ZelHdaSsid"
VARIABLE_GUID = "01368881-C4AD-4B1D-B631-D57A8EC8DB6B"
OVMF_CODE = "/usr/share/OVMF/OVMF_CODE_4M.fd"
OVMF_CODE_SECBOOT = "/usr/share/OVMF/OVMF_CODE_4M.secboot.fd"
OVMF_VARS = "/usr/share/OVMF/OVMF_VARS_4M.fd"
# Plain OVMF has no read-only variable PPI in PEI; its secure-boot build does.
PEI_VARIABLE_MODULES = ("FaultTolerantWritePei", "PeiVariable")

ECAM_HDA = 0xB00FB000  # 00:1F.3 under q35's ECAM at 0xB0000000
TRACE_LINE = re.compile(r"memory_region_ops_(read|write) cpu \S+ mr \S+ addr (0x[0-9a-f]+) "
                        r"value (0x[0-9a-f]+) size (\d+) name '([^']+)'")


def store_command(value):
    """Shell command that stores value as the record, little-endian."""
    data = value.to_bytes(4, "little").hex().upper()
    return "setvar %s -guid %s -bs -rt -nv =%s" % (VARIABLE_NAME, VARIABLE_GUID, data)


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
class Boot:
    number: int
    policy: str = ""             # what the test platform PEIM reported at end of PEI
    record: object = None        # the record after End of DXE: int, or None when absent
    dump: str = ""               # dmpstore's text
    seconds: float = 0.0         # from power-on or reset to the shell's prompt
    probe: list = field(default_factory=list)  # the driver's accesses, when found


@dataclass
class Run:
    boots: list
    accesses: list               # every traced access to 00:1F.3, the controller and flash
    files: dict                  # other files the shell wrote, by name
    serial: str
    seconds: float


def build_firmware(work, pei_files, dxe_files):
    """A copy of OVMF's code image with the PEI variable modules and the given
    firmware files added."""
    with open(OVMF_CODE, "rb") as handle:
        code = handle.read()
    with open(OVMF_CODE_SECBOOT, "rb") as handle:
        donor = handle.read()
    image = ovmf_insert.insert(
        code, [(p, open(p, "rb").read()) for p in pei_files], [(p, open(p, "rb").read()) for p in dxe_files],
        donor, PEI_VARIABLE_MODULES)
    path = os.path.join(work, "OVMF_CODE_HDA.fd")
    with open(path, "wb") as handle:
        handle.write(image)
    return path


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


def make_disk(path, script):
    subprocess.run(["mkfs.fat", "-C", path, "2048"], check=True, stdout=subprocess.DEVNULL)
    script_path = path + ".startup.nsh"
    with open(script_path, "wb") as handle:
        handle.write(script)
    subprocess.run(["mcopy", "-i", path, script_path, "::/startup.nsh"], check=True)


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


def driver_windows(accesses):
    """The driver's probe in each boot: from its guard's 32-bit reads of the
    vendor/device word and BAR0 to its restore of the command byte."""
    windows, index = [], 0
    while index + 1 < len(accesses):
        first, second = accesses[index], accesses[index + 1]
        if (first.kind, first.address, first.size) == ("read", ECAM_HDA, 4) and \
                (second.kind, second.address, second.size) == ("read", ECAM_HDA + 0x10, 4):
            end = index + 2
            while end < len(accesses) and not (accesses[end].kind == "write" and
                                               accesses[end].address == ECAM_HDA + 4 and
                                               accesses[end].size == 1 and accesses[end].value != 0x07):
                end += 1
            windows.append(accesses[index:end + 1])
            index = end + 1
        else:
            index += 1
    return windows


def run_machine(work, name, firmware, variables, steps, controller=True, codec=True, timeout=90):
    """Runs one QEMU machine through len(steps) boots; returns what it saw."""
    disk = os.path.join(work, name + ".img")
    debugcon = os.path.join(work, name + ".debugcon")
    make_disk(disk, startup_script(steps))
    command = [
        "qemu-system-x86_64", "-machine", "q35,smbus=off", "-m", "256", "-nodefaults", "-nographic",
        "-serial", "stdio", "-net", "none",
        "-drive", "if=pflash,format=raw,unit=0,readonly=on,file=" + firmware,
        "-drive", "if=pflash,format=raw,unit=1,file=" + variables,
        "-drive", "file=%s,format=raw,if=virtio" % disk,
        "-debugcon", "file:" + debugcon, "-global", "isa-debugcon.iobase=0x402",
        "-trace", "memory_region_ops_read", "-trace", "memory_region_ops_write", "-D", "/dev/stderr"]
    if controller:
        command += ["-device", "ich9-intel-hda,id=hda0,bus=pcie.0,addr=1f.3"]
        if codec:
            command += ["-device", "hda-duplex,bus=hda0.0,audiodev=snd0", "-audiodev", "none,id=snd0"]

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
                    (region == "pcie-mmcfg-mmio" and ECAM_HDA <= address < ECAM_HDA + 0x1000):
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
        reports = [line.strip() for line in handle if line.startswith("HdaSsidPolicy: SsidTable=")]
    boots = []
    previous = started
    windows = driver_windows(accesses)
    for number in range(1, len(steps) + 1):
        dump = read_disk_file(disk, "boot%d.txt" % number)
        boot = Boot(number, reports[number - 1] if number <= len(reports) else "",
                    parse_record(dump), dump or "")
        if number <= len(prompts):
            boot.seconds, previous = prompts[number - 1] - previous, prompts[number - 1]
        boots.append(boot)
    if controller:
        for boot, window in zip(boots, windows):
            boot.probe = window
    files = {}
    for name_on_disk in ("vector.txt",):
        text = read_disk_file(disk, name_on_disk)
        if text is not None:
            files[name_on_disk] = text
    return Run(boots, accesses, files, "".join(serial), elapsed)


def fresh_variables(work, name, source=OVMF_VARS):
    path = os.path.join(work, name + ".vars.fd")
    shutil.copyfile(source, path)
    return path


def describe_policy(report):
    """The PEIM's choice in a few words, from the test platform PEIM's line."""
    if report.endswith("=NULL"):
        return "no table chosen (SsidTable NULL)"
    match = re.search(r"row52=001F0300:([0-9A-F]{8})", report)
    if match:
        return {"A1941458": "SsidTableA194", "A1951458": "SsidTableA195"}.get(
            match.group(1), "a table with 00:1F.3 = " + match.group(1))
    return "nothing reported"


def describe_probe(probe):
    """What the driver did with the controller, from its traced accesses."""
    if not probe:
        return "no controller probed"
    statests = next((a.value for a in probe if a.kind == "read" and a.size == 1 and a.address & 0xFFF == 0x0E
                     and a.region == "intel-hda"), None)
    answers = [a.value for a in probe if a.region == "intel-hda" and a.kind == "read" and
               a.address & 0xFFF == 0x64]
    verbs = [a.value for a in probe if a.region == "intel-hda" and a.kind == "write" and a.address & 0xFFF == 0x60]
    parts = ["STATESTS=0x%X" % statests if statests is not None else "STATESTS not read"]
    for verb, answer in zip(verbs, answers):
        parts.append("verb 0x%08X -> 0x%08X" % (verb, answer))
    if len(verbs) > len(answers):
        parts.append("%d verb(s) timed out" % (len(verbs) - len(answers)))
    return ", ".join(parts)
