#!/bin/sh
# Copyright (c) 2026, HdaSsid contributors. All rights reserved.
# SPDX-License-Identifier: BSD-2-Clause-Patent
# Installs what building and testing this project needs on Debian 12, as root.
# Does nothing when everything is already there, so the README's commands can
# call it every time.
set -eu

packages="
  cmake ninja-build g++ python3
  clang lld llvm libclang-rt-14-dev clang-tools
  libgtest-dev gnu-efi uefitool-cli
  make uuid-dev nasm acpica-tools xz-utils
  qemu-system-x86 ovmf mtools dosfstools
  antlr4 python3-antlr4
"

missing=""
for package in $packages; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $package"
  fi
done

if [ -n "$missing" ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "bootstrap: these Debian packages are missing:$missing" >&2
    echo "bootstrap: run ./bootstrap.sh as root to install them" >&2
    exit 1
  fi
  echo "bootstrap: installing$missing"
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
fi
