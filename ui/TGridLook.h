#pragma once
// The look both grids of the window share: fixed rows of one height, a header row of the same
// height with left-aligned texts, grid lines, no header column, not editable, no word wrap.

class QTableView;

class TGridLook {
 public:
  static constexpr int RowHeight = 18;  // pixels, header row included

  // Gives View the look; columns stay resizable by the user. Never fails.
  static void Apply(QTableView& View);
};
