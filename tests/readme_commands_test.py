#!/usr/bin/env python3
# Copyright (c) 2026, HdaSsid contributors. All rights reserved.
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""Runs every shell command that README.md and docs/*.md give (their ```sh
blocks), exactly as written, from the top of the source tree, so a
documented command that stops working fails the suite; a link between the
documents to a file or heading that is not there fails it too. Commands that cannot
run here say why they are left out: the test commands themselves (CI runs
them), ones that need a real board, and ones with a placeholder that CI
cannot fill.

Build trees the documents name beside build/ stand in a folder of this
build tree, so the suite writes nothing into the source tree: the ported
board's build-myboard (whose profile boards/MyBoard.h is the ported test
board tests/profiles/ThreeVariants.h; the step that copies the target
board's profile into boards/ is left out) and the images-only
build-release.

Usage: readme_commands_test.py SOURCE_DIR BUILD_DIR
Exit status 77 (skipped) when BUILD_DIR is not SOURCE_DIR/build, the folder
the documents' commands name.
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
RELEASE_ONLY_TREE = "build-release"


def commands(document):
    """Each command of the ```sh blocks: continuation lines joined, comment
    and blank lines left out."""
    found = []
    for block in re.findall(r"^[ \t]*```sh\n(.*?)^[ \t]*```", document, re.S | re.M):
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
    if command.startswith("cp ") and PORTED_PROFILE in command:
        return "writes the porter's profile into boards/; the suite stands %s in for it" % STAND_IN_PROFILE
    if EDK2_PLACEHOLDER in command and not os.environ.get("HDA_EDK2_TREE"):
        return "needs an EDK2 tree: HDA_EDK2_TREE is not set"
    return None


def documents(source):
    """README.md, then docs/*.md in name order."""
    docs = os.path.join(source, "docs")
    names = sorted(n for n in os.listdir(docs) if n.endswith(".md")) if os.path.isdir(docs) else []
    return ["README.md"] + [os.path.join("docs", n) for n in names]


def broken_links(source, names):
    """Each relative link of the documents to a file or heading that is not
    there, as "document: target" (headings by GitHub's anchors)."""
    def anchor(heading):
        return re.sub(r"[^\w\- ]", "", heading.strip().lower()).replace(" ", "-")

    headings, texts = {}, {}
    for name in names:
        with open(os.path.join(source, name)) as handle:
            texts[name] = handle.read()
        prose = re.sub(r"^[ \t]*```.*?^[ \t]*```", "", texts[name], flags=re.S | re.M)
        headings[name] = {anchor(h) for h in re.findall(r"^#+ (.*)$", prose, re.M)}
    broken = []
    for name in names:
        for target in re.findall(r"\]\(([^)\s]+)\)", texts[name]):
            if re.match(r"[a-z]+:", target):
                continue
            path, _, fragment = target.partition("#")
            linked = os.path.normpath(os.path.join(os.path.dirname(name), path)) if path else name
            if not os.path.exists(os.path.join(source, linked)) or \
                    (fragment and fragment not in headings.get(linked, set())):
                broken.append("%s: %s" % (name, target))
    return broken


def main(argv):
    source, build = (os.path.realpath(a) for a in argv[1:3])
    if build != os.path.join(source, "build"):
        print("readme_commands_test: skipped: the documents' commands name build/, and this build is %s" % build)
        return SKIPPED
    broken = broken_links(source, documents(source))
    for link in broken:
        print("FAIL  broken link %s" % link)
    found = []
    for name in documents(source):
        with open(os.path.join(source, name)) as handle:
            found += [(name, command) for command in commands(handle.read())]
    scratch = os.path.join(build, "readme-commands")
    shutil.rmtree(scratch, ignore_errors=True)
    os.makedirs(scratch)
    stand_ins = {PORTED_PROFILE: STAND_IN_PROFILE, PORTED_TREE: os.path.join(scratch, PORTED_TREE),
                 RELEASE_ONLY_TREE: os.path.join(scratch, RELEASE_ONLY_TREE)}
    failures = ran = 0
    for name, command in found:
        reason = why_not(command)
        if reason:
            print("skip  %s: %s\n      (%s)" % (name, command, reason))
            continue
        runnable = command.replace(EDK2_PLACEHOLDER, os.environ.get("HDA_EDK2_TREE", EDK2_PLACEHOLDER))
        for written, stand_in in stand_ins.items():
            runnable = re.sub(r"(?<![\w/.-])" + re.escape(written), stand_in, runnable)
        env = dict(os.environ)
        if PORTED_TREE in command and env.pop("HDA_OVMF_SOURCES", None):
            print("      (run without HDA_OVMF_SOURCES: building OVMF from source again for the ported board, "
                  "some 10 minutes, proves nothing the suite's own OvmfFromSource does not)")
        started = time.monotonic()
        try:
            result = subprocess.run(["bash", "-c", runnable], cwd=source, capture_output=True, text=True,
                                    errors="replace", timeout=1800, env=env)
            status, output = result.returncode, result.stdout + result.stderr
        except subprocess.TimeoutExpired:
            status, output = "timeout", ""
        ran += 1
        print("%-4s  %s: %s  (%.1f s)" % ("ok" if status == 0 else "FAIL", name, command, time.monotonic() - started))
        if status != 0:
            failures += 1
            print("      exit status %s:\n%s" % (status, output[-3000:]))
    print("readme_commands_test: %d commands run from %d documents, %d failed, %d left out"
          % (ran, len(documents(source)), failures, len(found) - ran))
    return 1 if failures or broken or ran == 0 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
