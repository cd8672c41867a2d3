#!/usr/bin/env python3
"""Runs every shell command README.md gives (its ```sh blocks), exactly as
written, from the top of the source tree, so a README command that stops
working fails the suite. Commands that cannot run here say why they are
left out: the test commands themselves (CI runs them), ones that need a
real board, and ones with a placeholder that CI cannot fill.

The porting steps run for a ported board kept in the tests: the porter's
profile boards/MyBoard.h stands for tests/profiles/ThreeVariants.h, and its
build tree build-myboard for a folder in this build tree (so the suite
writes nothing into the source tree); the step that copies the target
board's profile into boards/ is left out.

Usage: readme_commands_test.py SOURCE_DIR BUILD_DIR
Exit status 77 (skipped) when BUILD_DIR is not SOURCE_DIR/build, the folder
the README's commands name.
"""

import os
import re
import shutil
import subprocess
import sys
import time

SKIPPED = 77
EDK2_PLACEHOLDER = "/path/to/edk2"
PORTED_PROFILE = "boards/MyBoard.h"
PORTED_TREE = "build-myboard"
STAND_IN_PROFILE = "tests/profiles/ThreeVariants.h"


def commands(readme):
    """Each command of the ```sh blocks: continuation lines joined, comment
    and blank lines left out."""
    found = []
    for block in re.findall(r"^[ \t]*```sh\n(.*?)^[ \t]*```", readme, re.S | re.M):
        text = re.sub(r"\\\n\s*", "", block)
        for line in text.splitlines():
            line = line.strip()
            if line and not line.startswith("#"):
                found.append(line)
    return found


def why_not(command):
    """Why a command is not run here, or None when it is."""
    if command.startswith("./bootstrap.sh"):
        return "the README's own build or test command: CI runs it"
    if "/sys/firmware/" in command:
        return "reads efivarfs of a Linux booted on UEFI firmware"
    if command.startswith("tests/fuzz/run_fuzzers.sh"):
        return "fuzzes for ten minutes; the sanitize workflow runs the same fuzzers"
    if command.startswith("HDA_EDK2_TREE=") and "ctest" in command:
        return "this is the suite's own Edk2Integration test"
    if command.startswith("HDA_OVMF_SOURCES=") and "ctest" in command:
        return "this is the suite's own OvmfFromSource test"
    if command.startswith("cp ") and PORTED_PROFILE in command:
        return "writes the porter's profile into boards/; the suite stands %s in for it" % STAND_IN_PROFILE
    if EDK2_PLACEHOLDER in command and not os.environ.get("HDA_EDK2_TREE"):
        return "needs an EDK2 tree: HDA_EDK2_TREE is not set"
    return None


def main(argv):
    source, build = (os.path.realpath(a) for a in argv[1:3])
    if build != os.path.join(source, "build"):
        print("readme_commands_test: skipped: the README's commands name build/, and this build is %s" % build)
        return SKIPPED
    with open(os.path.join(source, "README.md")) as handle:
        found = commands(handle.read())
    ported_tree = os.path.join(build, "readme-porting", PORTED_TREE)
    shutil.rmtree(os.path.dirname(ported_tree), ignore_errors=True)
    os.makedirs(os.path.dirname(ported_tree))
    failures = ran = 0
    for command in found:
        reason = why_not(command)
        if reason:
            print("skip  %s\n      (%s)" % (command, reason))
            continue
        runnable = command.replace(EDK2_PLACEHOLDER, os.environ.get("HDA_EDK2_TREE", EDK2_PLACEHOLDER))
        runnable = runnable.replace(PORTED_PROFILE, STAND_IN_PROFILE).replace(PORTED_TREE, ported_tree)
        env = dict(os.environ)
        if PORTED_TREE in command and env.pop("HDA_OVMF_SOURCES", None):
            print("      (run without HDA_OVMF_SOURCES: building OVMF from source again for the ported board, "
                  "some 8 minutes, proves nothing the suite's own OvmfFromSource does not)")
        started = time.monotonic()
        try:
            result = subprocess.run(["bash", "-c", runnable], cwd=source, capture_output=True, text=True,
                                    errors="replace", timeout=1800, env=env)
            status, output = result.returncode, result.stdout + result.stderr
        except subprocess.TimeoutExpired:
            status, output = "timeout", ""
        ran += 1
        print("%-4s  %s  (%.1f s)" % ("ok" if status == 0 else "FAIL", command, time.monotonic() - started))
        if status != 0:
            failures += 1
            print("      exit status %s:\n%s" % (status, output[-3000:]))
    print("readme_commands_test: %d commands run, %d failed, %d left out" % (ran, failures, len(found) - ran))
    return 1 if failures or ran == 0 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
