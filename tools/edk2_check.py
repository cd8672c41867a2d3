#!/usr/bin/env python3
# Copyright (c) 2026, HdaSsid contributors. All rights reserved.
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""Checks both EDK2 packages through EDK2's own tools, the way a tree
takes them.

The binary package: a release folder copied into a workspace as
HdaSsidBinPkg/, the shipped DSC and FDF snippets included, and EDK2's
`build` run for IA32 and X64 on small binary-only platforms, with the
platform settings in every form docs/integration.md documents (DEFINE
numbers, build -D, DEFINE naming the platform's FixedAtBuild
PcdPciExpressBaseAddress, a platform-wide [PcdsPatchableInModule.X64]
section). Each platform's firmware files and volumes are read back; the
driver EDK2 patched must equal `hdapack retarget`'s copy for the same values,
and with no settings EDK2 must leave it as shipped. A C PEIM is built against
the package's headers for IA32 and X64, and GenFv and VolInfo are run on
the shipped firmware files as they are.

The source package: the repository's tracked files copied in as
HdaSsidPkg/, built for the target board and the emulated board from that one
copy, with GCC, CLANGDWARF, CLANGPDB and an MSFT-family stand-in (clang-cl,
lld-link, llvm-lib), RELEASE and DEBUG, the settings FixedAtBuild,
PatchableInModule and Dynamic, and HdaSsidPkg.dsc as a tree's CI builds it;
LicenseCheck and ECC with HdaSsidPkg.ci.yaml's exemptions (tools/edk2_ecc.py).

Usage: edk2_check.py --release DIR [--release-q35 DIR] [--source DIR] [--edk2 TREE]
                     [--mde-module-pkg-from DIR] [--work DIR] [--hdapack EXE] [--jobs N]
                     [--no-source] [--export DIR]

TREE (default: the HDA_EDK2_TREE environment variable) is an EDK2 tree or a
.tar.xz of one. Its BaseTools, MdePkg and MdeModulePkg are used, from a
scratch copy in which the C tools are built, so the tree itself is never
written. Without a tree the check is skipped (exit status 77); what it could
not check otherwise it names, and exits 77 as well.
"""

import argparse
import glob
import lzma
import os
import re
import shutil
import struct
import subprocess
import sys
import tarfile
import time
import uuid
import zlib
from dataclasses import dataclass

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import edk2_ecc  # noqa: E402
import ovmf_insert as fw  # noqa: E402

SKIPPED = 77
C_TOOLS = ["makerootdir", "Common", "GenFfs", "GenFv", "GenFw", "GenSec", "GenCrc32", "LzmaCompress", "VolInfo"]

PEIM, DRIVER = 0x06, 0x07
SECTION_PE32, SECTION_TE, SECTION_DXE_DEPEX, SECTION_VERSION = 0x10, 0x12, 0x13, 0x14
SECTION_UI, SECTION_RAW, SECTION_PEI_DEPEX = 0x15, 0x19, 0x1B

FD_BASE = 0xFFE00000
PEI_OFFSET, DXE_OFFSET = 0x0, 0x80000  # regions of the flash device


@dataclass
class Module:
    name: str
    file_type: int
    inf: str


@dataclass
class Platform:
    name: str
    what: str           # one line for the report
    dsc_include: str    # the shipped DSC snippet the platform includes
    rules: str          # the FDF's rule sections
    rule_override: str  # "" or the RuleOverride the INF lines carry
    compressed_dxe: bool
    pei_image: int      # SECTION_TE or SECTION_PE32, what the platform's rule makes
    pei_arch: str
    defines: str = ""        # DEFINE lines the platform puts in its [Defines]
    build_options: str = ""  # further options of its build command
    pcds: str = ""           # PCD sections of its own
    components: str = ""     # its own component list, instead of the shipped snippet
    settings: tuple = None   # (ECAM base, PM-timer port) patched into the driver; None: as shipped
    consumer: tuple = ()     # the architectures it builds the C consumer PEIM for, from source
    open_section: str = ""   # a section of its own still open where it includes the snippet


FV_ATTRIBUTES = """FvAlignment        = 16
ERASE_POLARITY     = 1
MEMORY_MAPPED      = TRUE
STICKY_WRITE       = TRUE
LOCK_CAP           = TRUE
LOCK_STATUS        = TRUE
WRITE_DISABLED_CAP = TRUE
WRITE_ENABLED_CAP  = TRUE
WRITE_STATUS       = TRUE
WRITE_LOCK_CAP     = TRUE
WRITE_LOCK_STATUS  = TRUE
READ_DISABLED_CAP  = TRUE
READ_ENABLED_CAP   = TRUE
READ_STATUS        = TRUE
READ_LOCK_CAP      = TRUE
READ_LOCK_STATUS   = TRUE
"""

# A platform's own rules for binary modules, in the form EDK2 platforms write
# them; GenFds needs the plain rule of each module type even for binaries.
def platform_rules(peim_image_line):
    return """
[Rule.Common.PEIM]
  FILE PEIM = $(NAMED_GUID) {
     PEI_DEPEX PEI_DEPEX Optional        $(INF_OUTPUT)/$(MODULE_NAME).depex
     PE32      PE32   Align = Auto       $(INF_OUTPUT)/$(MODULE_NAME).efi
     UI        STRING="$(MODULE_NAME)" Optional
     VERSION   STRING="$(INF_VERSION)" Optional BUILD_NUM=$(BUILD_NUMBER)
  }

[Rule.Common.PEIM.BINARY]
  FILE PEIM = $(NAMED_GUID) {
     PEI_DEPEX PEI_DEPEX Optional        |.depex
     %s
     UI        STRING="$(MODULE_NAME)" Optional
     VERSION   STRING="$(INF_VERSION)" Optional BUILD_NUM=$(BUILD_NUMBER)
  }

[Rule.Common.DXE_DRIVER]
  FILE DRIVER = $(NAMED_GUID) {
    DXE_DEPEX DXE_DEPEX Optional         $(INF_OUTPUT)/$(MODULE_NAME).depex
    PE32      PE32                       $(INF_OUTPUT)/$(MODULE_NAME).efi
    UI        STRING="$(MODULE_NAME)" Optional
    VERSION   STRING="$(INF_VERSION)" Optional BUILD_NUM=$(BUILD_NUMBER)
  }

[Rule.Common.DXE_DRIVER.BINARY]
  FILE DRIVER = $(NAMED_GUID) {
    DXE_DEPEX DXE_DEPEX Optional         |.depex
    PE32      PE32                       |.efi
    UI        STRING="$(MODULE_NAME)" Optional
    VERSION   STRING="$(INF_VERSION)" Optional BUILD_NUM=$(BUILD_NUMBER)
  }
""" % peim_image_line


# OVMF's rules (OvmfPkg/OvmfPkgIa32X64.fdf) with a binary PEIM rule that
# makes a TE image aligned for execute in place; MinPlatform's keep the
# PEIM PE32, aligned by Align = Auto.
OVMF_RULES = platform_rules("TE        TE Align = 32             |.efi")
MINPLATFORM_RULES = platform_rules("PE32      PE32   Align = Auto       |.efi")

# Nothing of the platform's own: the shipped rules only.
SNIPPET_RULES = "\n!include HdaSsidBinPkg/HdaSsid.fdf.inc\n"

# The driver listed by the platform itself, with its settings platform-wide.
OWN_COMPONENTS = """[Components.IA32]
  HdaSsidBinPkg/HdaSsidSelectPei.inf

[Components.X64]
  HdaSsidBinPkg/HdaSsidDetectDxe.inf
"""
PLATFORM_WIDE_PCDS = """
[PcdsPatchableInModule.X64]
  gHdaSsidPkgTokenSpaceGuid.PcdHdaSsidPciExpressBaseAddress|0xD0000000
  gHdaSsidPkgTokenSpaceGuid.PcdHdaSsidAcpiPmTimerPort|0x1008
"""

OPEN_PCD_SECTION = "[PcdsFixedAtBuild.IA32]\n  gEfiMdePkgTokenSpaceGuid.PcdPciExpressBaseAddress|0xB0000000\n\n"

PLATFORMS = [
    Platform("OvmfRules", "OVMF's rules with a `TE TE Align = 32` binary rule; DXE volume compressed; "
             "PcdPciExpressBaseAddress FixedAtBuild 0xB0000000 as OVMF declares it, and named by "
             "HDA_SSID_PCI_EXPRESS_BASE; the C consumer PEIM", "HdaSsid.dsc.inc", OVMF_RULES, "", True, SECTION_TE,
             "IA32", defines="  DEFINE HDA_SSID_PCI_EXPRESS_BASE = gEfiMdePkgTokenSpaceGuid.PcdPciExpressBaseAddress\n"
             "  DEFINE HDA_SSID_ACPI_PM_TIMER_PORT = 0x608\n",
             pcds="\n[PcdsFixedAtBuild]\n  gEfiMdePkgTokenSpaceGuid.PcdPciExpressBaseAddress|0xB0000000\n",
             settings=(0xB0000000, 0x608), consumer=("IA32", "X64")),
    Platform("MinPlatformRules", "MinPlatform-style `PE32 PE32 Align = Auto` binary rule; DXE volume at a fixed "
             "address with FvForceRebase = FALSE; no platform settings", "HdaSsid.dsc.inc", MINPLATFORM_RULES, "", False,
             SECTION_PE32, "IA32"),
    Platform("ShippedRules", "only the shipped HdaSsid.fdf.inc, selected with RuleOverride = HDA_SSID; board "
             "settings with build -D", "HdaSsid.dsc.inc", SNIPPET_RULES, "RuleOverride = HDA_SSID ", False,
             SECTION_TE, "IA32", build_options="-D HDA_SSID_PCI_EXPRESS_BASE=0xC0000000 "
             "-D HDA_SSID_ACPI_PM_TIMER_PORT=0x408", settings=(0xC0000000, 0x408)),
    Platform("X64PeiShippedRules", "PEI in 64-bit mode (X64 only), the shipped rules; DXE volume compressed; "
             "platform settings DEFINEd as numbers; the C consumer PEIM for X64", "HdaSsidX64Pei.dsc.inc",
             SNIPPET_RULES, "RuleOverride = HDA_SSID ", True, SECTION_TE, "X64",
             defines="  DEFINE HDA_SSID_PCI_EXPRESS_BASE = 0xB0000000\n  DEFINE HDA_SSID_ACPI_PM_TIMER_PORT = 0x608\n",
             settings=(0xB0000000, 0x608), consumer=("X64",)),
    # OVMF's layout: its [Defines] ends in an !include that opens a PCD
    # section, so the snippet lands inside that section; its defaults must
    # hold there, for a setting left out and for both.
    Platform("OpenSectionOneSetting", "the snippet where a PCD section of the platform is still open (as in "
             "OVMF), only the PM-timer port DEFINEd", "HdaSsid.dsc.inc", SNIPPET_RULES, "RuleOverride = HDA_SSID ",
             True, SECTION_TE, "IA32", defines="  DEFINE HDA_SSID_ACPI_PM_TIMER_PORT = 0x608\n",
             open_section=OPEN_PCD_SECTION, settings=(None, 0x608), consumer=("IA32",)),
    Platform("OpenSectionNoSettings", "the snippet where a PCD section of the platform is still open, no setting "
             "given: the driver goes in as shipped", "HdaSsid.dsc.inc", SNIPPET_RULES, "RuleOverride = HDA_SSID ",
             True, SECTION_TE, "IA32", open_section=OPEN_PCD_SECTION, consumer=("IA32",)),
    Platform("PlatformWidePcds", "the INFs listed by the platform, platform settings in a platform-wide "
             "[PcdsPatchableInModule.X64] section", None, SNIPPET_RULES, "RuleOverride = HDA_SSID ", False,
             SECTION_TE, "IA32", components=OWN_COMPONENTS, pcds=PLATFORM_WIDE_PCDS, settings=(0xD0000000, 0x1008)),
]
MACHINES = {"IA32": 0x014C, "X64": 0x8664}
PEIM_IMAGES = {"IA32": "HdaSsidSelectPei.efi", "X64": "HdaSsidSelectPeiX64.efi"}


# A platform's own C PEIM, built by EDK2 from source against the package's
# headers: it installs the policy PPI and reads SsidTable back, and EDK2's
# compiler must agree with the offsets the shipped PEIM was built for.
CONSUMER_INF = """[Defines]
  INF_VERSION                    = 1.29
  BASE_NAME                      = PolicyConsumerPei
  FILE_GUID                      = 6C1F3A52-9E0B-4D7A-8A61-2B9D4E7C1F30
  MODULE_TYPE                    = PEIM
  VERSION_STRING                 = 1.0
  ENTRY_POINT                    = PolicyConsumerEntry

[Sources]
  PolicyConsumerPei.c

[Packages]
  MdePkg/MdePkg.dec
  HdaSsidBinPkg/HdaSsidBinPkg.dec

[LibraryClasses]
  PeimEntryPoint

[FixedPcd]
  gEfiMdePkgTokenSpaceGuid.PcdPciExpressBaseAddress    ## CONSUMES

[Ppis]
  gPlatformSsidPolicyPpiGuid      ## PRODUCES

[Guids]
  gHdaSsidVariableGuid            ## SOMETIMES_CONSUMES

[Depex]
  TRUE
"""
CONSUMER_C = """#include <PiPei.h>
#include <Library/PcdLib.h>
#include <Guid/HdaSsidPkgTokenSpace.h>
#include <Guid/HdaSsidVariable.h>
#include <Ppi/PlatformSsidPolicy.h>

STATIC_ASSERT (OFFSET_OF (PLATFORM_SSID_POLICY_PPI, SsidTable) == sizeof (UINTN), "SsidTable is the second pointer-sized member");
STATIC_ASSERT (sizeof (SSID_TABLE_ENTRY) == 16, "16-byte table rows");
STATIC_ASSERT (OFFSET_OF (SSID_TABLE_ENTRY, Bus) == 3, "Bus in byte 3");
STATIC_ASSERT (OFFSET_OF (SSID_TABLE_ENTRY, ExtendedRegister) == 4, "ExtendedRegister in bytes 4-7");
STATIC_ASSERT (OFFSET_OF (SSID_TABLE_ENTRY, SubsystemVendorId) == 8, "SVID/SSID word in bytes 8-11");
STATIC_ASSERT (OFFSET_OF (SSID_TABLE_ENTRY, SubsystemId) == 10, "SSID in bytes 10-11");
STATIC_ASSERT (HDA_SSID_RECORD_SIZE == 4, "a 4-byte record");
STATIC_ASSERT (HDA_SSID_VARIABLE_ATTRIBUTES == 0x7, "NV+BS+RT");
STATIC_ASSERT (sizeof (HDA_SSID_VARIABLE_NAME) == 11 * sizeof (CHAR16), "ZelHdaSsid");

STATIC PLATFORM_SSID_POLICY_PPI  mPolicy = { 1, NULL };
STATIC EFI_PEI_PPI_DESCRIPTOR    mPolicyDescriptor = {
  EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST,
  &gPlatformSsidPolicyPpiGuid,
  &mPolicy
};
STATIC CONST EFI_GUID  mVariableGuid = HDA_SSID_VARIABLE_GUID;
STATIC CONST EFI_GUID  mPolicyGuid = PLATFORM_SSID_POLICY_PPI_GUID;
STATIC CONST EFI_GUID  mTokenSpaceGuid = HDA_SSID_PKG_TOKEN_SPACE_GUID;

UINT32
HdaWordOfChosenTable (
  VOID
  )
{
  CONST SSID_TABLE_ENTRY  *Entry;

  for (Entry = mPolicy.SsidTable; Entry != NULL && Entry->Bus != 0xFF; Entry++) {
    if ((Entry->Device == 0x1F) && (Entry->Function == 3)) {
      return (UINT32)Entry->SubsystemId << 16 | Entry->SubsystemVendorId;
    }
  }

  return 0;
}

EFI_STATUS
EFIAPI
PolicyConsumerEntry (
  IN EFI_PEI_FILE_HANDLE     FileHandle,
  IN CONST EFI_PEI_SERVICES  **PeiServices
  )
{
  if ((mVariableGuid.Data1 != gHdaSsidVariableGuid.Data1) || (mPolicyGuid.Data1 != gPlatformSsidPolicyPpiGuid.Data1) ||
      (mTokenSpaceGuid.Data1 == 0) || (FixedPcdGet64 (PcdPciExpressBaseAddress) == 0))
  {
    return EFI_UNSUPPORTED;
  }

  return (*PeiServices)->InstallPpi (PeiServices, &mPolicyDescriptor);
}
"""
CONSUMER_DSC = """
[LibraryClasses]
  PeimEntryPoint|MdePkg/Library/PeimEntryPoint/PeimEntryPoint.inf
  DebugLib|MdePkg/Library/BaseDebugLibNull/BaseDebugLibNull.inf
  StackCheckLib|MdePkg/Library/StackCheckLibNull/StackCheckLibNull.inf

[{components}]
  HdaCheckPkg/Consumer/PolicyConsumerPei.inf
"""
CONSUMER_FDF_LINE = "INF USE = IA32 HdaCheckPkg/Consumer/PolicyConsumerPei.inf\n"


class Report:
    def __init__(self):
        self.failures = 0

    def check(self, what, ok, detail=""):
        print("  %-4s  %s%s" % ("ok" if ok else "FAIL", what, "" if ok else ": " + detail))
        self.failures += 0 if ok else 1
        return ok


def run(command, cwd=None, env=None):
    result = subprocess.run(command, cwd=cwd, env=env, capture_output=True, text=True, errors="replace")
    return result.returncode, result.stdout + result.stderr


# --- EDK2 tree and workspace ------------------------------------------------

def extract_members(archive, members, folder):
    """The members of an open tarball unpacked into folder, emptied first
    (tar's "data" filter where this Python has it); returns folder."""
    shutil.rmtree(folder, ignore_errors=True)
    if hasattr(tarfile, "data_filter"):
        archive.extractall(folder, members, filter="data")
    else:
        archive.extractall(folder, members)
    return folder


def prepare_basetools(tree, work, jobs):
    """A scratch EDK2 root holding the tree's BaseTools, edksetup.sh and the
    MdePkg (its headers, which the C tools include, its DEC and libraries), with
    the C tools built; returns its
    path."""
    root = os.path.join(work, "edk2")
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(root)
    if os.path.isdir(tree):
        for name in ("BaseTools", "edksetup.sh", "MdePkg"):
            source = os.path.join(tree, name)
            if not os.path.exists(source):
                raise SystemExit("edk2_check: %s is not an EDK2 tree (no %s)" % (tree, name))
            if os.path.isdir(source):
                shutil.copytree(source, os.path.join(root, name), symlinks=True,
                                ignore=shutil.ignore_patterns("*.o", "*.pyc"))
            else:
                shutil.copy2(source, root)
    else:
        with tarfile.open(tree, "r:*") as archive:
            members = [m for m in archive.getmembers() if re.match(
                r"^([^/]+/)?(BaseTools(/|$)|MdePkg(/|$)|MdeModulePkg/(MdeModulePkg\.dec$|Include/)|edksetup\.sh$)",
                m.name)]
            if not any(m.name.endswith("edksetup.sh") for m in members):
                raise SystemExit("edk2_check: %s holds no EDK2 tree (no edksetup.sh)" % tree)
            extract = extract_members(archive, members, os.path.join(work, "unpacked"))
        top = os.path.dirname(next(os.path.join(extract, m.name) for m in members
                                   if m.name.endswith("edksetup.sh")))
        os.rmdir(root)
        os.rename(top, root)
        copy_mde_module_pkg(tree, root)
    add_include_folders(root, "MdePkg")
    status, output = run(["make", "-C", os.path.join(root, "BaseTools", "Source", "C"), "-j%d" % jobs] + C_TOOLS)
    if status != 0:
        raise SystemExit("edk2_check: building EDK2's C tools failed (they need gcc, make and uuid-dev):\n"
                         + output[-3000:])
    return root


def add_include_folders(root, package):
    """A tree without its submodules lacks folders its DECs name (MdePkg's
    mipisyst includes, MdeModulePkg's brotli); build checks that they exist,
    and nothing here reads them."""
    section = ""
    with open(os.path.join(root, package, package + ".dec")) as handle:
        for line in handle:
            line = line.split("#")[0].strip()
            if line.startswith("["):
                section = line
            elif line and section.lower().startswith("[includes"):
                os.makedirs(os.path.join(root, package, line), exist_ok=True)


def copy_mde_module_pkg(tree, root):
    """MdeModulePkg's DEC and public headers, which the source driver's
    variable-policy protocol comes from, from an EDK2 tree."""
    source = os.path.join(tree, "MdeModulePkg")
    if os.path.isfile(os.path.join(source, "MdeModulePkg.dec")):
        os.makedirs(os.path.join(root, "MdeModulePkg"), exist_ok=True)
        shutil.copy2(os.path.join(source, "MdeModulePkg.dec"), os.path.join(root, "MdeModulePkg"))
        shutil.copytree(os.path.join(source, "Include"), os.path.join(root, "MdeModulePkg", "Include"))


def add_mde_module_pkg(root, sources, work):
    """MdeModulePkg beside MdePkg in the scratch root, unless the EDK2 tree
    brought it: from sources, an EDK2 tree or a folder of tarballs holding
    one (the OVMF sources). Returns where it came from, or None."""
    if os.path.isfile(os.path.join(root, "MdeModulePkg", "MdeModulePkg.dec")):
        add_include_folders(root, "MdeModulePkg")
        return "the EDK2 tree"
    if not sources or not os.path.isdir(sources):
        return None
    if os.path.isdir(os.path.join(sources, "MdeModulePkg")):
        copy_mde_module_pkg(sources, root)
    else:
        for tarball in sorted(glob.glob(os.path.join(sources, "*.tar*"))):
            with tarfile.open(tarball, "r:*") as archive:
                members = [m for m in archive if re.match(r"^([^/]+/)?MdeModulePkg/(MdeModulePkg\.dec$|Include/)",
                                                          m.name)]
                if not members:
                    continue
                extract = extract_members(archive, members, os.path.join(work, "unpacked-mde-module"))
            dec = next(m.name for m in members if m.name.endswith("MdeModulePkg.dec"))
            os.rename(os.path.dirname(os.path.join(extract, dec)), os.path.join(root, "MdeModulePkg"))
            break
    if not os.path.isfile(os.path.join(root, "MdeModulePkg", "MdeModulePkg.dec")):
        return None
    add_include_folders(root, "MdeModulePkg")
    return sources


def edk2_env(edk2, workspace):
    env = dict(os.environ)
    env.update(WORKSPACE=workspace, PACKAGES_PATH=workspace + os.pathsep + edk2, EDK_TOOLS_PATH=os.path.join(edk2, "BaseTools"),
               PYTHON_COMMAND=sys.executable)
    env.pop("CONF_PATH", None)
    if shutil.which("clang"):
        # CLANGDWARF and CLANGPDB find clang through CLANG_BIN (ending in /).
        env["CLANG_BIN"] = os.path.dirname(shutil.which("clang")) + os.sep
    return env


def edk2_build(edk2, workspace, platform_dsc, archs, options="", toolchains=("GCC",), targets=("RELEASE",), jobs=1):
    """EDK2's build, as an integrator runs it; returns (status, output)."""
    os.makedirs(os.path.join(workspace, "Conf"), exist_ok=True)
    script = ". ./edksetup.sh BaseTools >/dev/null && cd \"$WORKSPACE\" && build -p %s %s %s %s -n %d %s" % (
        platform_dsc, " ".join("-a " + a for a in archs), " ".join("-t " + t for t in toolchains),
        " ".join("-b " + b for b in targets), jobs, options)
    return run(["bash", "-c", script], cwd=edk2, env=edk2_env(edk2, workspace))


def dsc_defines(name, guid, targets, more=""):
    """A test platform's [Defines] section."""
    return """[Defines]
  PLATFORM_NAME                  = {name}
  PLATFORM_GUID                  = {guid}
  PLATFORM_VERSION               = 0.1
  DSC_SPECIFICATION              = 0x00010005
  OUTPUT_DIRECTORY               = Build/{name}
  SUPPORTED_ARCHITECTURES        = IA32|X64
  BUILD_TARGETS                  = {targets}
  SKUID_IDENTIFIER               = DEFAULT
""".format(name=name, guid=guid, targets=targets) + more


def platform_files(platform, release_dir):
    """The DSC and FDF text of a platform that lists the modules as
    docs/integration.md tells an integrator to."""
    guid = uuid.uuid5(uuid.NAMESPACE_URL, "hdassid-edk2-check/" + platform.name)
    dsc = dsc_defines(platform.name, guid, "RELEASE", "  FLASH_DEFINITION               = HdaCheckPkg/%s.fdf\n"
                      % platform.name) + """{defines}
{open_section}{components}
{pcds}""".format(defines=platform.defines, pcds=platform.pcds, open_section=platform.open_section,
                 components=platform.components or "!include HdaSsidBinPkg/%s\n" % platform.dsc_include)
    if platform.consumer:
        dsc += CONSUMER_DSC.format(components=", ".join("Components." + a for a in platform.consumer))
    if platform.compressed_dxe:
        dxe_region = "FV = FVMAIN_COMPACT"
        dxe_volumes = """[FV.FVMAIN_COMPACT]
{attributes}
FILE FV_IMAGE = 9E21FD93-9C72-4c15-8C4B-E77F1DB2D792 {{
   SECTION GUIDED EE4E5898-3914-4259-9D6E-DC7BD79403CF PROCESSING_REQUIRED = TRUE {{
     SECTION FV_IMAGE = DXEFV
   }}
}}

[FV.DXEFV]
{attributes}
""".format(attributes=FV_ATTRIBUTES)
    else:
        dxe_region = "FV = DXEFV"
        dxe_volumes = "[FV.DXEFV]\n%sFvForceRebase      = FALSE\n" % FV_ATTRIBUTES
    fdf = """[FD.{upper}]
BaseAddress   = 0x{base:08X}
Size          = 0x00200000
ErasePolarity = 1
BlockSize     = 0x1000
NumBlocks     = 0x200

0x{pei:08X}|0x00080000
FV = PEIFV

0x{dxe:08X}|0x00180000
{dxe_region}

[FV.PEIFV]
{attributes}INF {override}HdaSsidBinPkg/HdaSsidSelectPei.inf
{consumer}
{dxe_volumes}INF {override}HdaSsidBinPkg/HdaSsidDetectDxe.inf
{rules}""".format(upper=platform.name.upper(), base=FD_BASE, pei=PEI_OFFSET, dxe=DXE_OFFSET,
                  dxe_region=dxe_region, attributes=FV_ATTRIBUTES, override=platform.rule_override,
                  consumer=CONSUMER_FDF_LINE if platform.consumer and platform.rules != SNIPPET_RULES else "",
                  dxe_volumes=dxe_volumes, rules=platform.rules)
    return dsc, fdf


# --- Reading back what EDK2 made --------------------------------------------

def inf_value(inf_text, key):
    match = re.search(r"^\s*%s\s*=\s*(\S+)" % key, inf_text, re.M)
    return match.group(1) if match else None


def volume_files(volume):
    """{file name GUID text: (offset of the file in the volume's data, size, type)}."""
    found = {}
    for at, size, kind in volume.files():
        start = volume.offset + at
        found[str(uuid.UUID(bytes_le=bytes(volume.data[start:start + 16]))).upper()] = (start, size, kind)
    return found


def nested_volumes(data, volume):
    """Volumes inside FV_IMAGE files of volume, LZMA-compressed ones unpacked."""
    found = []
    for at, size, kind in volume.files():
        if kind != 0x0B:  # EFI_FV_FILETYPE_FIRMWARE_VOLUME_IMAGE
            continue
        start = volume.offset + at
        for s_at, s_size, s_kind, s_header in fw.sections(data, start + fw.FILE_HEADER_SIZE, start + size):
            if s_kind == fw.SECTION_GUID_DEFINED and data[s_at + s_header:s_at + s_header + 16] == \
                    fw.LZMA_SECTION_GUID:
                data_offset = struct.unpack_from("<H", data, s_at + s_header + 16)[0]
                stream = bytearray(lzma.decompress(bytes(data[s_at + data_offset:s_at + s_size]),
                                                   format=lzma.FORMAT_ALONE))
                for i_at, i_size, i_kind, i_header in fw.sections(stream, 0, len(stream)):
                    if i_kind == fw.SECTION_FV_IMAGE:
                        found.append(fw.Volume(stream, i_at + i_header, i_size - i_header))
    return found


@dataclass
class LoadedImage:
    machine: int
    base: int           # where the image's base lies (its header's ImageBase says where it was linked for)
    linked_base: int
    size_of_image: int
    memory: bytearray   # sections at their RVAs
    relocations: list   # (rva, width)
    debug: tuple        # (rva, size) of the debug directory


def parse_image(data, address):
    """A PE32/PE32+ or TE image at flash address `address`, laid out in
    memory by its section table (no relocation applied)."""
    if data[:2] == b"VZ":
        machine = struct.unpack_from("<H", data, 2)[0]
        sections_count, stripped = data[4], struct.unpack_from("<H", data, 6)[0]
        linked_base = struct.unpack_from("<Q", data, 16)[0]
        reloc_rva, reloc_size, debug_rva, debug_size = struct.unpack_from("<IIII", data, 24)
        table, shift = 40, stripped - 40
        base = address - shift
    elif data[:2] == b"MZ":
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        machine = struct.unpack_from("<H", data, pe + 4)[0]
        sections_count, optional_size = struct.unpack_from("<H", data, pe + 6)[0], \
            struct.unpack_from("<H", data, pe + 20)[0]
        optional = pe + 24
        plus = struct.unpack_from("<H", data, optional)[0] == 0x20B
        linked_base = struct.unpack_from("<Q" if plus else "<I", data, optional + (24 if plus else 28))[0]
        directories = optional + (112 if plus else 96)
        reloc_rva, reloc_size = struct.unpack_from("<II", data, directories + 5 * 8)
        debug_rva, debug_size = struct.unpack_from("<II", data, directories + 6 * 8)
        table, shift, base = optional + optional_size, 0, address
    else:
        raise ValueError("neither a PE/COFF nor a TE image")
    sections = [struct.unpack_from("<8sIIII", data, table + 40 * i) for i in range(sections_count)]
    size = max(va + max(vsize, rsize) for _, vsize, va, rsize, _ in sections)
    memory = bytearray(size)
    for _, vsize, va, rsize, raw in sections:
        loaded = min(vsize, rsize) if vsize else rsize  # as a PE loader does: the rest reads as zeros
        memory[va:va + loaded] = data[raw - shift:raw - shift + loaded]
    relocations, block = [], reloc_rva
    while block + 8 <= reloc_rva + reloc_size:
        page, block_size = struct.unpack_from("<II", memory, block)
        if block_size < 8:
            break
        for entry_at in range(block + 8, block + block_size, 2):
            entry = struct.unpack_from("<H", memory, entry_at)[0]
            if entry >> 12 in (3, 10):  # HIGHLOW, DIR64
                relocations.append((page + (entry & 0xFFF), 4 if entry >> 12 == 3 else 8))
        block += block_size
    return LoadedImage(machine, base, linked_base, size, memory, relocations, (debug_rva, debug_size))


def relocated(image, new_base):
    memory = bytearray(image.memory)
    delta = new_base - image.linked_base
    for rva, width in image.relocations:
        form = "<I" if width == 4 else "<Q"
        value = struct.unpack_from(form, memory, rva)[0]
        struct.pack_into(form, memory, rva, (value + delta) & ((1 << (8 * width)) - 1))
    return memory


def same_code_and_data(ours, theirs):
    """Whether two images hold the same bytes once relocated to one base,
    leaving out the debug directory entries (GenFw clears their time stamps
    when it makes a TE image)."""
    a, b = relocated(ours, 0x10000000), relocated(theirs, 0x10000000)
    if len(a) != len(b):
        return False
    for rva, size in (ours.debug, theirs.debug):
        a[rva:rva + size] = bytes(size)
        b[rva:rva + size] = bytes(size)
    return a == b


# --- The checks --------------------------------------------------------------

def check_module_file(report, label, data, start, size, kind, module, release_dir, version, platform):
    report.check("%s: %s is a %s file" % (label, module.name, "PEIM" if kind == PEIM else "DRIVER"),
                 kind == module.file_type, "type 0x%02X" % kind)
    sections = fw.sections(data, start + fw.FILE_HEADER_SIZE, start + size)
    types = [s[2] for s in sections]
    image_type = platform.pei_image if module.file_type == PEIM else SECTION_PE32
    expected = [SECTION_PEI_DEPEX if module.file_type == PEIM else SECTION_DXE_DEPEX, image_type, SECTION_UI,
                SECTION_VERSION]
    report.check("%s: %s sections in order depex, %s, UI, VERSION" % (
        label, module.name, "TE" if image_type == SECTION_TE else "PE32"),
        [t for t in types if t != SECTION_RAW] == expected, "section types %s" % ["0x%02X" % t for t in types])
    payload = {s[2]: bytes(data[s[0] + s[3]:s[0] + s[1]]) for s in sections}
    ui = payload.get(SECTION_UI, b"").decode("utf-16-le", "replace").rstrip("\0")
    report.check("%s: %s UI name" % (label, module.name), ui == module.name, repr(ui))
    version_text = payload.get(SECTION_VERSION, b"\0\0")[2:].decode("utf-16-le", "replace").rstrip("\0")
    report.check("%s: %s VERSION string" % (label, module.name), version_text == version, repr(version_text))
    depex_type = SECTION_PEI_DEPEX if module.file_type == PEIM else SECTION_DXE_DEPEX
    with open(os.path.join(release_dir, module.name + ".depex"), "rb") as handle:
        report.check("%s: %s depex is the shipped one" % (label, module.name),
                     payload.get(depex_type) == handle.read())
    image_section = next((s for s in sections if s[2] == image_type), None)
    return image_section


def check_peim(report, label, data, volume_base, volume, start, size, module, release_dir, platform):
    """The PEIM lies where it can execute in place and GenFv rebased it there."""
    alignment = fw.FFS_ALIGNMENTS[(data[start + 19] >> 3) & 7]
    report.check("%s: PEIM file asks for data alignment of at least 32" % label, alignment >= 32,
                 "%d" % alignment)
    image_section = next(s for s in fw.sections(data, start + fw.FILE_HEADER_SIZE, start + size)
                         if s[2] == platform.pei_image)
    image_at = image_section[0] + image_section[3]
    image = parse_image(bytes(data[image_at:image_section[0] + image_section[1]]),
                        volume_base + (image_at - volume.offset))
    report.check("%s: PEIM is the %s build" % (label, platform.pei_arch),
                 image.machine == MACHINES[platform.pei_arch], "machine 0x%04X" % image.machine)
    report.check("%s: PEIM image base on a 32-byte boundary" % label, image.base % 32 == 0,
                 "0x%08X" % image.base)
    report.check("%s: PEIM rebased to where it lies in flash" % label, image.linked_base == image.base,
                 "linked at 0x%X, lies at 0x%X" % (image.linked_base, image.base))
    outside = []
    for rva, width in image.relocations:
        value = struct.unpack_from("<I" if width == 4 else "<Q", image.memory, rva)[0]
        if not image.base <= value < image.base + image.size_of_image:
            outside.append("0x%X at +0x%X" % (value, rva))
    # x64 code reaches its data RIP-relative and may need no fix-up at all.
    report.check("%s: PEIM's %d absolute pointers all point into its own image" % (label, len(image.relocations)),
                 (image.relocations or platform.pei_arch == "X64") and not outside,
                 ", ".join(outside) or "no relocations")
    with open(os.path.join(release_dir, PEIM_IMAGES[platform.pei_arch]), "rb") as handle:
        shipped = parse_image(handle.read(), 0)
    report.check("%s: PEIM carries the shipped code and data" % label, same_code_and_data(shipped, image))


def retargeted_driver(hdapack, release_dir, work, settings):
    """The shipped driver as `hdapack retarget` writes it for settings."""
    shipped = os.path.join(release_dir, "HdaSsidDetectDxe.efi")
    if settings is None:
        with open(shipped, "rb") as handle:
            return handle.read()
    out = os.path.join(work, "retargeted-%X-%X.efi" % settings)
    status, output = run([hdapack, "retarget", "--in", shipped, "--out", out, "--ecam-base", "0x%X" % settings[0],
                          "--pm-timer-port", "0x%X" % settings[1]])
    if status != 0:
        raise SystemExit("edk2_check: hdapack retarget failed: " + output)
    with open(out, "rb") as handle:
        return handle.read()


def resolved_settings(platform, release_dir):
    """The settings the platform's driver must carry; a None in them is the
    release's default for that setting (its INF's [PatchPcd] value)."""
    if platform.settings is None or None not in platform.settings:
        return platform.settings
    inf = open(os.path.join(release_dir, "HdaSsidDetectDxe.inf")).read()
    defaults = [int(re.search(r"%s\|(0x[0-9A-Fa-f]+)\|" % pcd, inf).group(1), 16)
                for pcd in ("PcdHdaSsidPciExpressBaseAddress", "PcdHdaSsidAcpiPmTimerPort")]
    return tuple(default if given is None else given for given, default in zip(platform.settings, defaults))


def inspect_platform(report, platform, build_dir, release_dir, modules, version, expected_driver):
    label = platform.name
    with open(os.path.join(build_dir, "FV", "%s.fd" % platform.name.upper()), "rb") as handle:
        flash = bytearray(handle.read())
    pei = fw.Volume(flash, PEI_OFFSET, fw.volumes(flash[PEI_OFFSET:])[0][1])
    dxe_top = fw.Volume(flash, DXE_OFFSET, fw.volumes(flash[DXE_OFFSET:])[0][1])
    dxe = nested_volumes(flash, dxe_top)[0] if platform.compressed_dxe else dxe_top
    for module, volume, volume_base in ((modules[0], pei, FD_BASE + PEI_OFFSET), (modules[1], dxe, None)):
        files = volume_files(volume)
        guid = inf_value(open(os.path.join(release_dir, module.inf)).read(), "FILE_GUID").upper()
        if not report.check("%s: %s file %s in its volume" % (label, module.name, guid), guid in files):
            continue
        start, size, kind = files[guid]
        image_section = check_module_file(report, label, volume.data, start, size, kind, module, release_dir,
                                          version, platform)
        if module.file_type == PEIM:
            check_peim(report, label, volume.data, volume_base, volume, start, size, module, release_dir, platform)
        elif image_section is not None:
            payload = bytes(volume.data[image_section[0] + image_section[3]:image_section[0] + image_section[1]])
            if platform.settings is None:
                what = "the shipped image byte for byte (no settings: EDK2 patches nothing)"
            else:
                what = "hdapack retarget's image for ECAM 0x%X, PM timer 0x%X, byte for byte" % resolved_settings(
                    platform, release_dir)
            report.check("%s: driver's PE32 section is %s" % (label, what), payload == expected_driver)


def check_volinfo(report, label, tools_bin, volume_path, expect):
    status, output = run([os.path.join(tools_bin, "VolInfo"), volume_path])
    names = set(re.findall(r"File Name:\s+(\S+)", output))
    missing = [g for g in expect if g.lower() not in {n.lower() for n in names}]
    report.check("%s: VolInfo parses %s" % (label, os.path.basename(volume_path)),
                 status == 0 and "ERROR" not in output and not missing,
                 (output.strip().splitlines() or ["no output"])[-1] + (" (missing %s)" % missing if missing else ""))


def check_shipped_files(report, tools_bin, release_dir, work, guids):
    """GenFv takes the shipped firmware files as they are (state 0x07, as
    GenFfs writes them), and VolInfo reads the volumes it makes: one with
    the IA32 PEIM and the driver, one with the X64 PEIM."""
    for name, files, expect in (("shipped", ["HdaSsidSelectPei.ffs", "HdaSsidDetectDxe.ffs"], guids),
                                ("shipped-x64-pei", ["HdaSsidSelectPeiX64.ffs"], guids[:1])):
        inf = os.path.join(work, name + ".inf")
        with open(inf, "w") as handle:
            handle.write("[options]\nEFI_BLOCK_SIZE = 0x1000\nEFI_NUM_BLOCKS = 0x10\n[attributes]\n"
                         "EFI_ERASE_POLARITY = 1\nEFI_FVB2_ALIGNMENT_128 = TRUE\n[files]\n")
            for file_name in files:
                handle.write("EFI_FILE_NAME = %s\n" % os.path.join(release_dir, file_name))
        volume = os.path.join(work, name + ".fv")
        status, output = run([os.path.join(tools_bin, "GenFv"), "-i", inf, "-o", volume,
                              "-g", "8C8CE578-8A3D-4F1C-9935-896185C32DD3"])
        if report.check("%s: GenFv builds a volume from %s as they are" % (name, ", ".join(files)), status == 0,
                        output.strip()[-500:]):
            check_volinfo(report, name, tools_bin, volume, expect)


# --- The source package, built by EDK2 --------------------------------------

# What a platform gives the source modules: MdePkg's library instances (a
# serial DebugLib, output to nowhere here: what matters is that DEBUG builds
# carry the messages), its board's HdaSsidBoardLib, MdePkg's ECAM base and
# the PM-timer port. RELEASE builds define MDEPKG_NDEBUG, as platforms do
# (OVMF among them).
SOURCE_LIBRARIES = """
[LibraryClasses]
  UefiDriverEntryPoint|MdePkg/Library/UefiDriverEntryPoint/UefiDriverEntryPoint.inf
  PeimEntryPoint|MdePkg/Library/PeimEntryPoint/PeimEntryPoint.inf
  UefiBootServicesTableLib|MdePkg/Library/UefiBootServicesTableLib/UefiBootServicesTableLib.inf
  BaseLib|{base_lib}
  BaseMemoryLib|MdePkg/Library/BaseMemoryLib/BaseMemoryLib.inf
  IoLib|{io_lib}
  PcdLib|MdePkg/Library/BasePcdLibNull/BasePcdLibNull.inf
  PrintLib|MdePkg/Library/BasePrintLib/BasePrintLib.inf
  DebugLib|{debug_lib}
  DebugPrintErrorLevelLib|MdePkg/Library/BaseDebugPrintErrorLevelLib/BaseDebugPrintErrorLevelLib.inf
  SerialPortLib|MdePkg/Library/BaseSerialPortLibNull/BaseSerialPortLibNull.inf
  HdaSsidBoardLib|HdaSsidPkg/boards/{board}.inf
"""
MDEPKG_BASE_LIB = "MdePkg/Library/BaseLib/BaseLib.inf"
MDEPKG_IO_LIB = "MdePkg/Library/BaseIoLibIntrinsic/BaseIoLibIntrinsic.inf"
SERIAL_DEBUG_LIB = "MdePkg/Library/BaseDebugLibSerialPort/BaseDebugLibSerialPort.inf"
NULL_DEBUG_LIB = "MdePkg/Library/BaseDebugLibNull/BaseDebugLibNull.inf"
SETTINGS = ("  gEfiMdePkgTokenSpaceGuid.PcdPciExpressBaseAddress|0x%X\n"
            "  gHdaSsidPkgTokenSpaceGuid.PcdHdaSsidAcpiPmTimerPort|0x%X\n")
SOURCE_BUILD_OPTIONS = """
[BuildOptions]
  GCC:RELEASE_*_*_CC_FLAGS  = -DMDEPKG_NDEBUG
  MSFT:RELEASE_*_*_CC_FLAGS = /D MDEPKG_NDEBUG
"""
# Settings the platforms give: q35's under Debian's OVMF, so that the
# images can be booted there.
Q35_SETTINGS = (0xB0000000, 0x608)

# The MSFT family's stand-in: VS2026's definitions from tools_def.txt with
# Debian's clang-cl, lld-link and llvm-lib in place of cl.exe, link.exe and
# lib.exe. Where it departs from VS2026 and why:
# - BUILDRULEFAMILY is its own name, so that build_rule.txt's MSFT rules are
#   still taken (through FAMILY) but GenMake does not batch the C compiles:
#   its batching splits cl.exe's /Fo paths on backslashes, which a Linux
#   build has none of.
# - No /GL in CC_FLAGS (clang-cl 14 rejects it; whole-program optimisation
#   is a link-time matter for lld-link's /LTCG) and no /volatileMetadata-.
# - --target says which Windows ABI, as cl.exe's IA32 and X64 editions do
#   by being two programs.
# - No /showIncludes: EDK2 reads cl.exe's echo of the source name before
#   the include list, which clang-cl does not print.
# - llvm-lib without /LTCG, which it does not take.
STANDIN_TAG = "VS2026CLANGCL"
STANDIN_TOOLS_DEF = """
# {tag}: the MSFT family's VS2026 definitions with Debian's clang-cl,
# lld-link and llvm-lib standing in for cl.exe, link.exe and lib.exe.
*_{tag}_*_*_FAMILY          = MSFT
*_{tag}_*_*_BUILDRULEFAMILY = {tag}
*_{tag}_*_*_DLL             = {bin}
*_{tag}_*_MAKE_PATH         = make
*_{tag}_*_SLINK_FLAGS       = /NOLOGO
*_{tag}_*_APP_FLAGS         = /nologo /E /TC
*_{tag}_*_VFRPP_FLAGS       = /nologo /E /TC /DVFRCOMPILE /FI$(MODULE_NAME)StrDefs.h
*_{tag}_*_DLINK2_FLAGS      = /WHOLEARCHIVE
*_{tag}_*_DEPS_FLAGS        =
"""
STANDIN_ARCH = """
*_{tag}_{arch}_CC_PATH        = {cl}
*_{tag}_{arch}_PP_PATH        = {cl}
*_{tag}_{arch}_APP_PATH       = {cl}
*_{tag}_{arch}_VFRPP_PATH     = {cl}
*_{tag}_{arch}_SLINK_PATH     = {lib}
*_{tag}_{arch}_DLINK_PATH     = {link}
  DEBUG_{tag}_{arch}_CC_FLAGS    = {target} {cc} /Z7 /Gw
RELEASE_{tag}_{arch}_CC_FLAGS    = {target} {cc} /Gw
*_{tag}_{arch}_PP_FLAGS          = {target} /nologo /E /TC /FIAutoGen.h
  DEBUG_{tag}_{arch}_DLINK_FLAGS = {dlink} /DEBUG {dlink_tail}
RELEASE_{tag}_{arch}_DLINK_FLAGS = {dlink} /IGNORE:4254 /MERGE:.rdata=.data {dlink_tail}
*_{tag}_{arch}_DLINK_XIPFLAGS    = /ALIGN:32
  DEBUG_{tag}_{arch}_NASM_FLAGS  = -Ox -f {nasm} -g
RELEASE_{tag}_{arch}_NASM_FLAGS  = -Ox -f {nasm}
"""
STANDIN_ARCHS = {
    "IA32": dict(target="--target=i686-pc-windows-msvc -Wno-unused-command-line-argument", nasm="win32",
                 cc="/nologo /arch:IA32 /c /WX /GS /W4 /Gs32768 /D UNICODE /O1b2 /FIAutoGen.h /EHs-c- /GR- /GF /Gy",
                 dlink="/NOLOGO /NODEFAULTLIB /IGNORE:4001 /OPT:REF /OPT:ICF=10 /MAP /ALIGN:32 /SECTION:.xdata,D "
                       "/SECTION:.pdata,D /MACHINE:X86 /LTCG /DLL /ENTRY:$(IMAGE_ENTRY_POINT) "
                       "/SUBSYSTEM:EFI_BOOT_SERVICE_DRIVER /SAFESEH:NO /BASE:0 /DRIVER",
                 dlink_tail="/WX /IGNORE:4210"),
    "X64": dict(target="--target=x86_64-pc-windows-msvc -Wno-unused-command-line-argument", nasm="win64",
                cc="/nologo /c /WX /GS /W4 /Gs32768 /D UNICODE /O1b2s /Gy /FIAutoGen.h /EHs-c- /GR- /GF",
                dlink="/NOLOGO /NODEFAULTLIB /IGNORE:4001 /IGNORE:4281 /OPT:REF /OPT:ICF=10 /MAP /ALIGN:32 "
                      "/SECTION:.xdata,D /SECTION:.pdata,D /Machine:X64 /LTCG /DLL /ENTRY:$(IMAGE_ENTRY_POINT) "
                      "/SUBSYSTEM:EFI_BOOT_SERVICE_DRIVER /SAFESEH:NO /BASE:0 /DRIVER",
                dlink_tail="/ALIGN:4096 /DLL /WX /IGNORE:4210"),
}
# MdePkg's BaseIoLibIntrinsic (IoLibMsc.c: cl.exe's _inp/_outp intrinsics)
# and BaseLib (naked __asm functions for IA32, #pragma intrinsic on x64)
# are written for cl.exe itself and do not compile with clang-cl. The
# stand-in platform takes these two instances instead, with the functions
# the modules call, written as MdePkg's GCC builds of them work.
STANDIN_LIBRARIES = {
    "StandInIoLib": ("IoLib", """#include <Base.h>
#include <Library/IoLib.h>

UINT8 EFIAPI MmioRead8 (UINTN Address) { return *(volatile UINT8 *)Address; }
UINT32 EFIAPI MmioRead32 (UINTN Address) { return *(volatile UINT32 *)Address; }
UINT8 EFIAPI MmioWrite8 (UINTN Address, UINT8 Value) { *(volatile UINT8 *)Address = Value; return Value; }
UINT32 EFIAPI MmioWrite32 (UINTN Address, UINT32 Value) { *(volatile UINT32 *)Address = Value; return Value; }
UINT32 EFIAPI IoRead32 (UINTN Port)
{
  UINT32  Value;

  __asm__ __volatile__ ("inl %w1, %0" : "=a" (Value) : "Nd" ((UINT16)Port));
  return Value;
}
"""),
    "StandInBaseLib": ("BaseLib", """#include <Base.h>
#include <Library/BaseLib.h>

VOID EFIAPI CpuPause (VOID) { __asm__ __volatile__ ("pause" ::: "memory"); }
UINT64 EFIAPI LShiftU64 (UINT64 Operand, UINTN Count) { return Operand << Count; }
UINT64 EFIAPI ReadUnaligned64 (CONST VOID *Buffer)
{
  UINT64  Value = 0;

  for (UINTN Index = 0; Index < 8; Index++) {
    Value |= (UINT64)((CONST UINT8 *)Buffer)[Index] << (8 * Index);
  }
  return Value;
}
UINT64 EFIAPI WriteUnaligned64 (VOID *Buffer, UINT64 Value)
{
  for (UINTN Index = 0; Index < 8; Index++) {
    ((UINT8 *)Buffer)[Index] = (UINT8)(Value >> (8 * Index));
  }
  return Value;
}
"""),
}
STANDIN_INF = """[Defines]
  INF_VERSION                    = 1.29
  BASE_NAME                      = {name}
  FILE_GUID                      = {guid}
  MODULE_TYPE                    = BASE
  VERSION_STRING                 = 1.0
  LIBRARY_CLASS                  = {library_class}

[Sources]
  {name}.c

[Packages]
  MdePkg/MdePkg.dec
"""


@dataclass
class SourcePlatform:
    name: str
    what: str
    board: str            # TargetBoard or QemuQ35: the HdaSsidBoardLib instance
    snippet: str          # the source snippet it includes
    toolchains: tuple
    targets: tuple
    pcd_type: str = "FixedAtBuild"
    settings: tuple = Q35_SETTINGS
    x64_peim: bool = False  # also the PEIM for X64 PEI, listed by the platform
    driver_only: bool = False
    export: bool = False    # its GCC RELEASE images and depex go to --export
    stand_in: bool = False  # the MSFT family's stand-in libraries

    def archs(self):
        return ["X64"] if self.snippet == "HdaSsidX64Pei.dsc.inc" or self.driver_only else ["IA32", "X64"]

    def dsc(self):
        guid = uuid.uuid5(uuid.NAMESPACE_URL, "hdassid-src/" + self.name)
        text = dsc_defines(self.name, guid, "|".join(self.targets))
        text += "\n!include MdePkg/MdeLibs.dsc.inc\n" + SOURCE_LIBRARIES.format(
            board=self.board,
            base_lib="HdaCheckPkg/StandInBaseLib/StandInBaseLib.inf" if self.stand_in else MDEPKG_BASE_LIB,
            io_lib="HdaCheckPkg/StandInIoLib/StandInIoLib.inf" if self.stand_in else MDEPKG_IO_LIB,
            debug_lib=NULL_DEBUG_LIB if self.stand_in else SERIAL_DEBUG_LIB)
        if self.pcd_type == "Dynamic":
            text += "\n[LibraryClasses.X64.DXE_DRIVER]\n  PcdLib|MdePkg/Library/DxePcdLib/DxePcdLib.inf\n"
            text += "\n[PcdsDynamicDefault]\n" + SETTINGS % self.settings
        else:
            text += "\n[Pcds%s]\n" % self.pcd_type + SETTINGS % self.settings
        text += "\n[PcdsFixedAtBuild]\n  gEfiMdePkgTokenSpaceGuid.PcdDebugPropertyMask|0x2F\n"
        if self.driver_only:
            text += "\n[Components.X64]\n  HdaSsidPkg/dxe/HdaSsidDetectDxe.inf\n"
        else:
            text += "\n!include HdaSsidPkg/%s\n" % self.snippet
            if self.x64_peim:
                text += "\n[Components.X64]\n  HdaSsidPkg/pei/HdaSsidSelectPei.inf\n"
        return text + SOURCE_BUILD_OPTIONS


def source_platforms(toolchains):
    gcc_family = tuple(t for t in toolchains if t != STANDIN_TAG)
    platforms = [
        SourcePlatform("SourceTargetBoard", "the target board's platform: HdaSsid.dsc.inc, IA32 PEI and X64 DXE, "
                       "and the PEIM for X64 PEI; settings FixedAtBuild", "TargetBoard", "HdaSsid.dsc.inc",
                       gcc_family, ("RELEASE", "DEBUG"), x64_peim=True, export=True),
        SourcePlatform("SourceQemuQ35", "the emulated board's platform in the same workspace: HdaSsidX64Pei.dsc.inc, "
                       "PEI in 64-bit mode", "QemuQ35", "HdaSsidX64Pei.dsc.inc", ("GCC",), ("RELEASE", "DEBUG")),
        # The other PCD types: the driver alone, one target each, as the
        # settings' code is the same in both.
        SourcePlatform("SourcePatchable", "the driver, its settings PatchableInModule", "TargetBoard",
                       "", ("GCC",), ("RELEASE",), pcd_type="PatchableInModule", settings=(0xC0000000, 0x408),
                       driver_only=True),
        SourcePlatform("SourceDynamic", "the driver, its settings Dynamic (DxePcdLib)", "TargetBoard", "",
                       ("GCC",), ("DEBUG",), pcd_type="Dynamic", settings=(0xD0000000, 0x1008), driver_only=True),
    ]
    if STANDIN_TAG in toolchains:
        platforms.append(SourcePlatform(
            "SourceMsftStandIn", "the target board's platform built by EDK2's MSFT rules with the MSFT flags of the "
            "INFs (clang-cl, lld-link and llvm-lib standing in for Visual Studio's tools)", "TargetBoard",
            "HdaSsid.dsc.inc", (STANDIN_TAG,), ("RELEASE", "DEBUG"), x64_peim=True, stand_in=True))
    return platforms


def source_toolchains():
    """GCC; CLANGDWARF and CLANGPDB where clang and lld are there; the MSFT
    stand-in where clang-cl, lld-link and llvm-lib are. Returns
    (toolchains, {what is missing: why})."""
    toolchains, missing = ["GCC"], {}
    if shutil.which("clang") and shutil.which("ld.lld") and shutil.which("lld-link") and shutil.which("llvm-lib"):
        toolchains += ["CLANGDWARF", "CLANGPDB"]
    else:
        missing["CLANGDWARF, CLANGPDB"] = "clang, ld.lld, lld-link or llvm-lib missing (Debian: clang lld llvm)"
    if clang_cl() and shutil.which("lld-link") and shutil.which("llvm-lib"):
        toolchains.append(STANDIN_TAG)
    else:
        missing["MSFT stand-in"] = "clang-cl missing (Debian: clang-tools)"
    return toolchains, missing


def clang_cl():
    return shutil.which("clang-cl") or next(iter(sorted(glob.glob(os.path.join(
        os.path.dirname(shutil.which("clang") or "/nonexistent"), "clang-cl-*")), reverse=True)), None)


# clang-cl reads an absolute path that starts like one of its options (a
# folder /wo... as /wo<n>) as that option; cl.exe on Windows never sees such a
# path. The stand-in's compiler is clang-cl behind this wrapper, which hands
# it the file to compile or preprocess (an argument that is a file's
# absolute path, where every option's value is joined to its option) after
# "--".
CLANG_CL_WRAPPER = """#!/bin/sh
for arg do
  shift
  case $arg in
    /*) if [ -f "$arg" ]; then source=$arg; continue; fi ;;
  esac
  set -- "$@" "$arg"
done
exec "{clang_cl}" "$@" ${{source:+-- "$source"}}
"""


def add_stand_in(workspace):
    """The stand-in's tool-chain definition, appended to the workspace's
    tools_def.txt (edksetup.sh makes it on the first build), and its two
    library instances."""
    tools_def = os.path.join(workspace, "Conf", "tools_def.txt")
    wrapper = os.path.join(workspace, "HdaCheckPkg", "clang-cl")
    os.makedirs(os.path.dirname(wrapper), exist_ok=True)
    with open(wrapper, "w") as handle:
        handle.write(CLANG_CL_WRAPPER.format(clang_cl=clang_cl()))
    os.chmod(wrapper, 0o755)
    text = STANDIN_TOOLS_DEF.format(tag=STANDIN_TAG, bin=os.path.dirname(shutil.which("lld-link")))
    for arch, flags in STANDIN_ARCHS.items():
        text += STANDIN_ARCH.format(tag=STANDIN_TAG, arch=arch, cl=wrapper, lib=shutil.which("llvm-lib"),
                                    link=shutil.which("lld-link"), **flags)
    with open(tools_def, "a") as handle:
        handle.write(text)
    for name, (library_class, source) in STANDIN_LIBRARIES.items():
        folder = os.path.join(workspace, "HdaCheckPkg", name)
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, name + ".c"), "w") as handle:
            handle.write(source)
        with open(os.path.join(folder, name + ".inf"), "w") as handle:
            handle.write(STANDIN_INF.format(name=name, library_class=library_class,
                                            guid=uuid.uuid5(uuid.NAMESPACE_URL, "hdassid-standin/" + name)))


DEBUG_MESSAGE = re.compile(rb"HdaSsid(DetectDxe|SelectPei): ")


def manifest_tables(release):
    """(profile name, {table name: (entries, crc32)}) of a release's MANIFEST."""
    with open(os.path.join(release, "MANIFEST")) as handle:
        text = handle.read()
    profile = re.search(r"\(profile (\w+)\)", text).group(1)
    tables = {}
    for match in re.finditer(r"table (SsidTable\w+)(?:: (\d+) entries)?.*?crc32 (0x[0-9A-F]+)", text):
        tables[match.group(1)] = int(match.group(3), 16)
    entries = int(re.search(r"SsidTableDefault: (\d+) entries", text).group(1))
    return profile, {name: (entries, crc) for name, crc in tables.items()}


def tables_in_image(image, tables):
    """The names of the tables whose bytes (rows and terminator; the
    MANIFEST counts both as entries, and gives the CRC-32) lie in image, at
    any 4-byte boundary."""
    found = set()
    for name, (entries, crc) in tables.items():
        size = entries * 16
        for at in range(0, len(image) - size + 1, 4):
            if image[at + size - 16 + 3] == 0xFF and zlib.crc32(image[at:at + size]) == crc:
                found.add(name)
                break
    return found


def source_package_copy(source, workspace):
    """The repository as a tree takes it: its tracked files, in the workspace
    as HdaSsidPkg/."""
    target = os.path.join(workspace, "HdaSsidPkg")
    for name in edk2_ecc.package_files(source):
        os.makedirs(os.path.dirname(os.path.join(target, name)), exist_ok=True)
        shutil.copy2(os.path.join(source, name), os.path.join(target, name))


def check_source_modules(report, edk2, workspace, jobs, export, boards, shipped_dir, shipped_sizes):
    """Each source platform built for its toolchains and targets at once;
    every image there, for its machine, carrying DEBUG messages in DEBUG
    builds with the serial DebugLib and none in RELEASE ones, and each
    PEIM its own board's tables (boards: {board: MANIFEST tables}) and no
    other's. The package DSC too, as the tree's CI builds it."""
    toolchains, missing = source_toolchains()
    for what, why in missing.items():
        report.check("%s: built" % what, False, why)
    if STANDIN_TAG in toolchains:
        add_stand_in(workspace)
    sizes = {}
    for platform in source_platforms(toolchains):
        started = time.monotonic()
        print("%s: %s; %s, %s" % (platform.name, platform.what, " and ".join(platform.toolchains),
                                  " and ".join(platform.targets)))
        with open(os.path.join(workspace, "HdaCheckPkg", platform.name + ".dsc"), "w") as handle:
            handle.write(platform.dsc())
        status, output = edk2_build(edk2, workspace, "HdaCheckPkg/%s.dsc" % platform.name, platform.archs(),
                                    toolchains=platform.toolchains, targets=platform.targets, jobs=jobs)
        ours = [line for line in output.splitlines() if "HdaSsid" in line and re.search(r"(warning|error):", line)]
        if not report.check("%s: EDK2 builds it with %s" % (platform.name, ", ".join(platform.toolchains)),
                            status == 0, "\n" + output[-4000:]):
            continue
        report.check("%s: no warning from the package's sources (warnings are errors), %.0f s" % (
            platform.name, time.monotonic() - started), not ours, "\n".join(ours))
        images = [("X64", "dxe", "HdaSsidDetectDxe", "DXE")]
        if not platform.driver_only and "IA32" in platform.archs():
            images.append(("IA32", "pei", "HdaSsidSelectPei", "IA32 PEI"))
        if not platform.driver_only and (platform.archs() == ["X64"] or platform.x64_peim):
            images.append(("X64", "pei", "HdaSsidSelectPei", "X64 PEI"))
        for toolchain in platform.toolchains:
            for target in platform.targets:
                for arch, folder, module, what in images:
                    output_dir = os.path.join(workspace, "Build", platform.name, "%s_%s" % (target, toolchain), arch,
                                              "HdaSsidPkg", folder, module, "OUTPUT")
                    path = os.path.join(output_dir, module + ".efi")
                    label = "%s: %s %s %s" % (platform.name, what, toolchain, target)
                    if not report.check(label + ": image built", os.path.isfile(path), path):
                        continue
                    with open(path, "rb") as handle:
                        image = handle.read()
                    machine = struct.unpack_from("<H", image, struct.unpack_from("<I", image, 0x3C)[0] + 4)[0]
                    report.check(label + ": PE/COFF for %s" % arch, machine == MACHINES[arch], "machine 0x%X" % machine)
                    if not platform.stand_in:
                        messages = bool(DEBUG_MESSAGE.search(image))
                        report.check(label + (": carries its DEBUG messages" if target == "DEBUG" else
                                              ": carries no DEBUG message"), messages == (target == "DEBUG"))
                    depex = os.path.join(output_dir, module + ".depex")
                    with open(os.path.join(shipped_dir, module + ".depex"), "rb") as handle:
                        shipped_depex = handle.read()
                    built_depex = open(depex, "rb").read() if os.path.isfile(depex) else b""
                    if platform.pcd_type == "Dynamic":
                        # DxePcdLib adds the PCD protocol to the module's own.
                        pushes = [shipped_depex[i:i + 17] for i in range(0, len(shipped_depex) - 2, 17)]
                        report.check(label + ": its dependency expression holds the shipped one's protocols",
                                     all(push in built_depex for push in pushes), "INF [Depex] differs")
                    else:
                        report.check(label + ": its dependency expression is the shipped one",
                                     built_depex == shipped_depex, "INF [Depex] differs from the release's")
                    if folder == "pei" and platform.board in boards:
                        check_board_tables(report, label, image, platform.board, boards)
                    sizes[(platform.name, toolchain, target, what)] = len(image)
                    if export and platform.export and (toolchain, target) == ("GCC", "RELEASE"):
                        os.makedirs(export, exist_ok=True)
                        name = module + ("X64" if what == "X64 PEI" else "")
                        shutil.copy(path, os.path.join(export, name + ".efi"))
                        shutil.copy(os.path.join(output_dir, module + ".depex"), os.path.join(export, name + ".depex"))
    check_package_dsc(report, edk2, workspace, jobs, toolchains)
    print("  image sizes in bytes (settings FixedAtBuild; the shipped standalone images: %s):" % ", ".join(
        "%s %d" % item for item in shipped_sizes))
    print("    %-12s %-14s %-8s %8s %8s %8s" % ("board", "toolchain", "target", "DXE", "IA32 PEI", "X64 PEI"))
    for platform in source_platforms(toolchains):
        if platform.pcd_type != "FixedAtBuild":
            continue
        for toolchain in platform.toolchains:
            for target in platform.targets:
                row = [sizes.get((platform.name, toolchain, target, what)) for what in ("DXE", "IA32 PEI", "X64 PEI")]
                print("    %-12s %-14s %-8s %8s %8s %8s" % ((platform.board, toolchain, target) +
                                                          tuple("-" if v is None else v for v in row)))


def check_board_tables(report, label, image, board, boards):
    own = set(boards.get(board, {}))
    found = tables_in_image(image, boards.get(board, {}))
    report.check(label + ": carries %s's %d tables, as its MANIFEST gives them" % (board, len(own)),
                 found == own, "missing %s" % sorted(own - found))
    for other, tables in boards.items():
        if other != board:
            foreign = tables_in_image(image, tables)
            report.check(label + ": carries none of %s's tables" % other, not foreign, ", ".join(sorted(foreign)))


def check_package_dsc(report, edk2, workspace, jobs, toolchains):
    """HdaSsidPkg.dsc as the tree's CI (CompilerPlugin) builds it: every
    module and board library, IA32 and X64."""
    toolchain = "CLANGPDB" if "CLANGPDB" in toolchains else "GCC"
    started = time.monotonic()
    status, output = edk2_build(edk2, workspace, "HdaSsidPkg/HdaSsidPkg.dsc", ["IA32", "X64"],
                                toolchains=(toolchain,), targets=("DEBUG",), jobs=jobs)
    report.check("HdaSsidPkg.dsc: EDK2 builds every module for IA32 and X64 with %s, DEBUG, %.0f s" % (
        toolchain, time.monotonic() - started), status == 0, "\n" + output[-4000:])


# Offsets the PEIM relies on, as the PI specification lays the tables out:
# EFI_PEI_SERVICES is a 24-byte table header and then pointer-sized services,
# LocatePpi the third; GetVariable is the read-only variable PPI's first
# member. The images' static assertions state the same numbers.
PI_LAYOUTS = {"IA32": ("i686-unknown-windows", "Ia32", 0x20), "X64": ("x86_64-unknown-windows", "X64", 0x28)}
PI_LAYOUT_PROBE = """#include <PiPei.h>
#include <Ppi/ReadOnlyVariable2.h>
_Static_assert(__builtin_offsetof(EFI_PEI_SERVICES, LocatePpi) == LOCATE_PPI, "LocatePpi");
_Static_assert(__builtin_offsetof(EFI_PEI_READ_ONLY_VARIABLE2_PPI, GetVariable) == 0, "GetVariable");
"""


def check_pi_layouts(report, edk2, work, compiler):
    """MdePkg's PI headers, compiled for each PEI architecture, agree with
    the offsets the PEIM was built against."""
    probe = os.path.join(work, "pi_layout.c")
    with open(probe, "w") as handle:
        handle.write(PI_LAYOUT_PROBE)
    include = os.path.join(edk2, "MdePkg", "Include")
    for arch, (target, folder, locate) in PI_LAYOUTS.items():
        status, output = run([compiler, "--target=" + target, "-fsyntax-only", "-ffreestanding", "-I", include,
                              "-I", os.path.join(include, folder), "-DLOCATE_PPI=0x%X" % locate, probe])
        report.check("MdePkg's %s PI layout: LocatePpi at 0x%X, GetVariable at 0" % (arch, locate), status == 0,
                     output.strip()[-800:])


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--release", required=True, help="the release folder (build/release)")
    parser.add_argument("--release-q35", help="the emulated board's release folder (build/release-q35): its "
                        "MANIFEST's tables are what the emulated board's source PEIM must carry")
    parser.add_argument("--source", default=os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                        help="the repository, which a tree takes as HdaSsidPkg (default: the one holding this tool)")
    parser.add_argument("--edk2", default=os.environ.get("HDA_EDK2_TREE"),
                        help="EDK2 tree or .tar.xz of one (default: $HDA_EDK2_TREE)")
    parser.add_argument("--mde-module-pkg-from", default=os.environ.get("HDA_OVMF_SOURCES"),
                        help="where MdeModulePkg comes from when the EDK2 tree has none: an EDK2 tree or a folder "
                        "of tarballs holding one (default: $HDA_OVMF_SOURCES)")
    parser.add_argument("--work", help="scratch folder, emptied first (default: edk2-check beside the release "
                        "folder)")
    parser.add_argument("--hdapack", help="hdapack, to retarget the shipped driver (default: hdapack/hdapack "
                        "beside the release folder, as the build lays them out)")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    parser.add_argument("--cc", default="clang", help="clang, to compile MdePkg's PI headers for IA32 and X64")
    parser.add_argument("--no-source", action="store_true", help="leave out the builds of the source package and "
                        "ECC")
    parser.add_argument("--export", help="copy the target board's source modules as GCC RELEASE built them "
                        "(settings FixedAtBuild, ECAM 0x%X, PM timer 0x%X), with their depex, here" % Q35_SETTINGS)
    args = parser.parse_args(argv)
    if args.export:
        shutil.rmtree(args.export, ignore_errors=True)  # never boot what an earlier run left
    if not args.edk2:
        print("edk2_check: skipped: no EDK2 tree given (set HDA_EDK2_TREE to an EDK2 tree or a .tar.xz of one)")
        return SKIPPED
    if not os.path.exists(args.edk2):
        print("edk2_check: %s does not exist" % args.edk2, file=sys.stderr)
        return 1
    release_dir = os.path.abspath(args.release)
    args.hdapack = args.hdapack or os.path.join(release_dir, "..", "hdapack", "hdapack")
    if not os.access(args.hdapack, os.X_OK):
        print("edk2_check: no hdapack at %s (give --hdapack)" % args.hdapack, file=sys.stderr)
        return 1
    work = os.path.abspath(args.work or os.path.join(release_dir, "..", "edk2-check"))
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)

    print("EDK2 tree: %s" % args.edk2)
    edk2 = prepare_basetools(os.path.abspath(args.edk2), work, args.jobs)
    tools_bin = os.path.join(edk2, "BaseTools", "Source", "C", "bin")
    modules = [Module("HdaSsidSelectPei", PEIM, "HdaSsidSelectPei.inf"),
               Module("HdaSsidDetectDxe", DRIVER, "HdaSsidDetectDxe.inf")]
    version = inf_value(open(os.path.join(release_dir, modules[0].inf)).read(), "VERSION_STRING")
    guids = [inf_value(open(os.path.join(release_dir, m.inf)).read(), "FILE_GUID") for m in modules]

    report = Report()
    not_proven = []
    workspace = os.path.join(work, "workspace")
    shutil.copytree(release_dir, os.path.join(workspace, "HdaSsidBinPkg"))
    os.makedirs(os.path.join(workspace, "HdaCheckPkg", "Consumer"))
    for name, text in (("PolicyConsumerPei.inf", CONSUMER_INF), ("PolicyConsumerPei.c", CONSUMER_C)):
        with open(os.path.join(workspace, "HdaCheckPkg", "Consumer", name), "w") as handle:
            handle.write(text)
    print("The release as a binary package, HdaSsidBinPkg:")
    for platform in PLATFORMS:
        print("%s: %s" % (platform.name, platform.what))
        dsc, fdf = platform_files(platform, release_dir)
        for suffix, text in ((".dsc", dsc), (".fdf", fdf)):
            with open(os.path.join(workspace, "HdaCheckPkg", platform.name + suffix), "w") as handle:
                handle.write(text)
        archs = ["IA32", "X64"] if platform.pei_arch == "IA32" else ["X64"]
        status, output = edk2_build(edk2, workspace, "HdaCheckPkg/%s.dsc" % platform.name, archs,
                                    platform.build_options)
        warnings = [line for line in output.splitlines() if re.search(r"\bwarning\b", line, re.I)]
        if not report.check("%s: EDK2 build for %s succeeds" % (platform.name, " and ".join(archs)), status == 0,
                            "\n" + output[-4000:]):
            continue
        report.check("%s: EDK2 build prints no warning" % platform.name, not warnings, "\n".join(warnings))
        build_dir = os.path.join(workspace, "Build", platform.name, "RELEASE_GCC")
        inspect_platform(report, platform, build_dir, release_dir, modules, version,
                         retargeted_driver(args.hdapack, release_dir, work, resolved_settings(platform, release_dir)))
        for arch in platform.consumer:
            consumer = os.path.join(build_dir, arch, "PolicyConsumerPei.efi")
            report.check("%s: the C consumer PEIM built by EDK2 against HdaSsidBinPkg's headers for %s" % (
                platform.name, arch), os.path.isfile(consumer), "no %s" % consumer)
        for volume in ("PEIFV", "DXEFV"):
            check_volinfo(report, platform.name, tools_bin, os.path.join(build_dir, "FV", volume + ".Fv"), [])
    check_shipped_files(report, tools_bin, release_dir, work, guids)
    check_pi_layouts(report, edk2, work, args.cc)

    if args.no_source:
        print("edk2_check: left out, as --no-source asks: the source package HdaSsidPkg and ECC")
    else:
        source = os.path.abspath(args.source)
        print("The repository as the source package HdaSsidPkg (%s):" % source)
        mde_module = add_mde_module_pkg(edk2, args.mde_module_pkg_from, work)
        edk2_ecc.run_ecc(report, edk2, source, {"MdeModulePkg": os.path.join(edk2, "MdeModulePkg")} if mde_module
                         else {}, work)
        if not mde_module:
            not_proven.append("the source package's builds: the EDK2 tree has no MdeModulePkg and "
                              "--mde-module-pkg-from (or HDA_OVMF_SOURCES) names none")
        else:
            print("MdeModulePkg from %s" % mde_module)
            source_package_copy(source, workspace)
            # Each board's tables as its release's MANIFEST gives them (a
            # release of another profile leaves its board's check out).
            boards = dict(manifest_tables(folder) for folder in filter(None, (release_dir, args.release_q35)))
            shipped = [(what, os.path.getsize(os.path.join(release_dir, name))) for what, name in (
                ("DXE", "HdaSsidDetectDxe.efi"), ("IA32 PEI", "HdaSsidSelectPei.efi"),
                ("X64 PEI", "HdaSsidSelectPeiX64.efi"))]
            check_source_modules(report, edk2, workspace, args.jobs, args.export, boards, release_dir, shipped)
    for what in not_proven:
        print("edk2_check: not proven: %s" % what)
    print("edk2_check: %s" % ("%d checks failed" % report.failures if report.failures else
                              "all checks passed" + (", but not everything was checked" if not_proven else "")))
    if report.failures:
        return 1
    return SKIPPED if not_proven else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
