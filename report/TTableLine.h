#pragma once
// One line of an aligned text table: cells padded to their column's width (numbers to the
// right), two spaces between columns, no trailing blanks. A cell wider than its column pushes
// only the rest of its own line on.

#include <cstddef>
#include <string>
#include <vector>

class TTableLine {
 public:
  // Columns [RightFrom, RightTo) are aligned to the right, the others to the left.
  TTableLine(std::vector<size_t> ColumnWidths, size_t RightFrom, size_t RightTo);

  // Cells as one line without its line end; a cell beyond the widths is not padded. Never fails.
  std::string Of(const std::vector<std::string>& Cells) const;
  // Widens every column to fit Cells. Never fails.
  void Fit(const std::vector<std::string>& Cells);
  // Characters on screen of a UTF-8 text: the bytes that do not continue a character.
  static size_t Width(const std::string& Text);

 private:
  std::vector<size_t> Widths;
  size_t RightFrom;
  size_t RightTo;
};
