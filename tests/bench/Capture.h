// Copyright (c) 2026, HdaSsid contributors. All rights reserved.
// SPDX-License-Identifier: BSD-2-Clause-Patent
//
// Captures as HdaSsidInfo.efi prints them (app/ProbeCapture.h), read back
// from a report: the whole report, UTF-16 as the UEFI Shell writes it or
// UTF-8, of which only the "hda-capture" lines count.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "HdaBench.h"

namespace bench {

struct Capture {
  uint64_t EcamBase = 0;
  uint16_t PmTimerPort = 0;
  std::string Board;
  std::vector<std::pair<Access, uint32_t>> Accesses;  // each with its count
  std::string Problem;  // why it cannot be replayed; empty when it can
};

// A report's text: UTF-16 (with its byte-order mark) narrowed, else as read.
inline std::string ReadReport(const std::string &Path) {
  std::ifstream In(Path, std::ios::binary);
  std::string Raw((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
  if (Raw.size() < 2 || static_cast<unsigned char>(Raw[0]) != 0xFF || static_cast<unsigned char>(Raw[1]) != 0xFE) {
    return Raw;
  }
  std::string Text;
  for (size_t I = 2; I + 1 < Raw.size(); I += 2) {
    Text += Raw[I + 1] == 0 ? Raw[I] : '?';
  }
  return Text;
}

inline Capture ParseCapture(const std::string &Report) {
  Capture C;
  std::istringstream Lines(Report);
  std::string Line;
  bool Begun = false, Ended = false;
  uint64_t Counted = 0;
  while (std::getline(Lines, Line)) {
    if (!Line.empty() && Line.back() == '\r') {
      Line.pop_back();
    }
    if (Line.rfind("hda-capture ", 0) != 0) {
      continue;
    }
    std::istringstream Words(Line.substr(12));
    std::string Word;
    Words >> Word;
    if (Word == "begin") {
      std::string Ecam, Port, Quoted;
      Words >> Word >> Ecam >> Word >> Port >> Word;
      std::getline(Words, Quoted);
      C.EcamBase = std::stoull(Ecam, nullptr, 16);
      C.PmTimerPort = static_cast<uint16_t>(std::stoul(Port, nullptr, 16));
      const size_t Open = Quoted.find('"'), Close = Quoted.rfind('"');
      C.Board = Open < Close ? Quoted.substr(Open + 1, Close - Open - 1) : "";
      Begun = true;
    } else if (Word == "end" || Word == "truncated") {
      uint64_t Total = 0;
      if (Word == "truncated") {
        Words >> Word;  // "after"
      }
      Words >> Total;
      if (Word != "end" || Total != Counted) {
        C.Problem = "the capture is incomplete (" + Line + ")";
      }
      Ended = true;
      break;
    } else if (Begun && Word.size() >= 2 && (Word[0] == 'R' || Word[0] == 'W')) {
      std::string Address, Value, Count;
      Words >> Address >> Value >> Count;
      const Access A{Word[0] == 'R' ? AccessKind::MmioRead : AccessKind::MmioWrite,
                     static_cast<unsigned>(std::stoul(Word.substr(1))), std::stoull(Address, nullptr, 16),
                     static_cast<uint32_t>(std::stoul(Value, nullptr, 16))};
      const uint32_t Times = Count.empty() ? 1 : static_cast<uint32_t>(std::stoul(Count.substr(1)));
      C.Accesses.emplace_back(A, Times);
      Counted += Times;
    }
  }
  if (!Begun || !Ended) {
    C.Problem = C.Problem.empty() ? "no complete capture (hda-capture begin ... end)" : C.Problem;
  }
  return C;
}

}  // namespace bench
