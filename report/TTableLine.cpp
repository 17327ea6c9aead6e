#include "TTableLine.h"

#include <algorithm>

namespace {
const char* const ColumnGap = "  ";
constexpr unsigned char ContinuationMask = 0xC0, ContinuationBits = 0x80;  // 10xxxxxx
}  // namespace

TTableLine::TTableLine(std::vector<size_t> ColumnWidths, size_t RightFromIn, size_t RightToIn)
    : Widths(std::move(ColumnWidths)), RightFrom(RightFromIn), RightTo(RightToIn) {}

std::string TTableLine::Of(const std::vector<std::string>& Cells) const {
  std::string text;
  for (size_t c = 0; c < Cells.size(); ++c) {
    const size_t width = c < Widths.size() ? Widths[c] : 0;
    const std::string pad(width - std::min(width, Width(Cells[c])), ' ');
    if (c) text += ColumnGap;
    const bool right = c >= RightFrom && c < RightTo;
    text += right ? pad + Cells[c] : Cells[c] + pad;
  }
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

void TTableLine::Fit(const std::vector<std::string>& Cells) {
  if (Widths.size() < Cells.size()) Widths.resize(Cells.size(), 0);
  for (size_t c = 0; c < Cells.size(); ++c) Widths[c] = std::max(Widths[c], Width(Cells[c]));
}

size_t TTableLine::Width(const std::string& Text) {
  return static_cast<size_t>(std::count_if(Text.begin(), Text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & ContinuationMask) != ContinuationBits;
  }));
}
