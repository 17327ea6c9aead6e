#include "TGenericFrame.h"

#include <algorithm>

namespace {
constexpr size_t BitsPerByte = 8;
const char* const HexDigits = "0123456789ABCDEF";

const char* ShapeLetters(TGenericFrame::TCoding Coding) {
  switch (Coding) {
    case TGenericFrame::TCoding::PulseDistance:
      return "PD";
    case TGenericFrame::TCoding::PulseWidth:
      return "PW";
    case TGenericFrame::TCoding::PulseDistanceWidth:
      return "PDW";
    case TGenericFrame::TCoding::BiPhase:
      return "BP";
    case TGenericFrame::TCoding::PulsePosition:
      return "PP";
    case TGenericFrame::TCoding::RunWidth:
      return "RW";
    case TGenericFrame::TCoding::RunLength:
      return "RL";
  }
  return "";
}
}  // namespace

const char* TGenericFrame::CodingName(TCoding Coding) {
  switch (Coding) {
    case TCoding::PulseDistance:
      return "Pulse distance";
    case TCoding::PulseWidth:
      return "Pulse width";
    case TCoding::PulseDistanceWidth:
      return "Pulse distance-width";
    case TCoding::BiPhase:
      return "Bi-phase";
    case TCoding::PulsePosition:
      return "Pulse position";
    case TCoding::RunWidth:
      return "Run width";
    case TCoding::RunLength:
      return "Run length";
  }
  return "";
}

std::vector<std::string> TGenericFrame::CodingNames() {
  std::vector<std::string> names;
  for (int c = 0; c <= static_cast<int>(TCoding::RunLength); ++c)
    names.push_back(CodingName(static_cast<TCoding>(c)));
  return names;
}

bool TGenericFrame::LeastSignificantFirst(TCoding Coding) {
  // bi-phase remotes send the most significant bit first; a run-width frame is read in order
  return Coding != TCoding::BiPhase && Coding != TCoding::PulsePosition &&
         Coding != TCoding::RunWidth && Coding != TCoding::RunLength;
}

const char* TGenericFrame::BitOrderText(TCoding Coding) {
  if (Coding == TCoding::PulsePosition) return "one hex digit per space: the rank of its width";
  if (Coding == TCoding::RunLength) return "one hex digit per run: its length in units";
  return LeastSignificantFirst(Coding) ? "LSB first in each byte" : "MSB first";
}

std::string TGenericFrame::DataText() const {
  std::string text;
  const bool lsbFirst = LeastSignificantFirst(Coding);
  if (Coding == TCoding::PulsePosition || Coding == TCoding::RunLength) {
    for (size_t first = 0; first + BitsPerSymbol <= Bits.size(); first += BitsPerSymbol) {
      unsigned digit = 0;
      for (size_t i = 0; i < BitsPerSymbol; ++i) digit = digit << 1 | Bits[first + i];
      text += HexDigits[digit];
    }
    return text;
  }
  for (size_t first = 0; first < Bits.size(); first += BitsPerByte) {
    unsigned byte = 0;
    const size_t count = std::min(BitsPerByte, Bits.size() - first);
    for (size_t i = 0; i < count; ++i) {
      if (!Bits[first + i]) continue;
      byte |= 1u << (lsbFirst ? i : count - 1 - i);
    }
    text += HexDigits[byte >> 4];
    text += HexDigits[byte & 0xF];
  }
  return text;
}

std::string TGenericFrame::Shape() const {
  std::string shape = ShapeLetters(Coding);
  if (Coding == TCoding::BiPhase && BiPhaseLeadingSpace) shape += "'";
  for (const TPart& part : Parts) {
    shape += part.IsBits ? " B" : (part.HighFirst ? " D" : " d");
    shape += std::to_string(part.IsBits ? part.BitCount : part.Runs.size());
  }
  return shape;
}

void TGenericFrame::AddDelimiterRun(uint16_t Run, bool High, double End) {
  if (Parts.empty() || Parts.back().IsBits) {
    Parts.push_back({});
    Parts.back().HighFirst = High;
  }
  Parts.back().Runs.push_back(Run);
  Parts.back().End = End;
}

void TGenericFrame::AddBit(bool Bit, double End) {
  if (Parts.empty() || !Parts.back().IsBits) {
    Parts.push_back({});
    Parts.back().IsBits = true;
  }
  ++Parts.back().BitCount;
  Parts.back().End = End;
  Bits.push_back(Bit);
  BitEnds.push_back(End);
}
