# Copyright (c) 2026, HdaSsid contributors. All rights reserved.
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""The names and GUIDs shared with the firmware and the packaging, read from
their one definition, include/HdaSsidIds.h."""

import os
import re

_HEADER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "include", "HdaSsidIds.h")


def _read(path):
    with open(path) as handle:
        return dict(re.findall(r'^#define (\w+)_TEXT "([^"]*)"$', handle.read(), re.M))


_IDS = _read(_HEADER)
VARIABLE_NAME = _IDS["HDA_SSID_VARIABLE_NAME"]
VARIABLE_GUID = _IDS["HDA_SSID_VARIABLE_GUID"]
POLICY_PPI_GUID = _IDS["PLATFORM_SSID_POLICY_PPI_GUID"]
DXE_FILE_GUID = _IDS["HDA_DXE_FILE_GUID"]
PEI_FILE_GUID = _IDS["HDA_PEI_FILE_GUID"]
