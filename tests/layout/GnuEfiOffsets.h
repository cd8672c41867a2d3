// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent

#pragma once
#include <cstddef>
#include <cstdint>

struct GnuEfiLayout {
  size_t SystemTableConOut;
  size_t TextOutputOutputString;
  size_t SystemTableRuntimeServices;
  size_t SystemTableBootServices;
  size_t SystemTableNumberOfTableEntries;
  size_t SystemTableConfigurationTable;
  size_t ConfigurationTableSize;
  size_t BootServicesCloseEvent;
  size_t BootServicesStall;
  size_t BootServicesLocateProtocol;
  size_t BootServicesCreateEventEx;
  size_t RuntimeServicesSetVariable;
  size_t RuntimeServicesGetVariable;
  size_t TableHeaderSize;
  size_t GuidSize;
  size_t GuidData2;
  size_t GuidData3;
  size_t GuidData4;
  uint64_t StatusTimeout;
  uint64_t StatusNotFound;
  uint64_t StatusBufferTooSmall;
  uint32_t EventNotifySignal;
  uint64_t TplCallback;
  uint32_t VariableNvBsRt;
};

extern const GnuEfiLayout kGnuEfiLayout;
