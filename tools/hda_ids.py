# Copyright (c) 2026, HdaSsid contributors. All rights reserved.
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""The names and GUIDs shared with the firmware and the packaging, read from
where EDK2 reads them: the package DEC, the modules' INFs and the record's
public header."""

import os
import re

_ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")


def _text(path):
    with open(os.path.join(_ROOT, path)) as handle:
        return handle.read()


def _dec_guid(name):
    """A DEC GUID's C initializer in registry form."""
    match = re.search(r"^\s*%s\s*=\s*\{([^}]*)\{([^}]*)\}\s*\}" % name, _text("HdaSsidPkg.dec"), re.M)
    parts = [int(p, 16) for p in re.findall(r"0[xX][0-9A-Fa-f]+", match.group(1) + match.group(2))]
    return "%08X-%04X-%04X-%02X%02X-%s" % (parts[0], parts[1], parts[2], parts[3], parts[4],
                                           "".join("%02X" % p for p in parts[5:]))


def _file_guid(inf):
    return re.search(r"^\s*FILE_GUID\s*=\s*([0-9A-Fa-f-]+)", _text(inf), re.M).group(1).upper()


VARIABLE_NAME = re.search(r'#define HDA_SSID_VARIABLE_NAME\s+L"([^"]*)"', _text("include/Guid/HdaSsidVariable.h")).group(1)
VARIABLE_GUID = _dec_guid("gHdaSsidVariableGuid")
POLICY_PPI_GUID = _dec_guid("gPlatformSsidPolicyPpiGuid")
DXE_FILE_GUID = _file_guid("dxe/HdaSsidDetectDxe.inf")
PEI_FILE_GUID = _file_guid("pei/HdaSsidSelectPei.inf")
