#pragma once
// The packet details box: the protocol's name, its link, its description (with how it
// matched, where an imported packet came from, or why no library is loaded) and its fields in
// decimal, hex and binary.

#include <QSize>
#include <QString>
#include <string>

#include "TSample.h"

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QWidget;
class TAnchors;
class TLinkLabel;
class TStringGrid;

class TDetailsPane {
 public:
  // Makes the box in Parent, placed by Anchors at its design place. Never fails.
  TDetailsPane(QWidget* Parent, TAnchors& Anchors, QSize ParentDesign);

  // Shows Sample (decoded) with its protocol's Url and Description from the library; when
  // LibraryProblem is not empty no library is loaded and it is shown instead. Never fails.
  void Show(const TSample& Sample, const std::string& Url, const std::string& Description,
            const std::string& LibraryProblem);
  // The box as at start: no packet selected. Never fails.
  void Clear();
  // Writes the field grid's header row. Never fails.
  void WriteHeaders();

  QGroupBox* Box;
  QLabel* Name;
  TLinkLabel* Link;
  QPlainTextEdit* Description;
  TStringGrid* Fields;

 private:
  void ShowFields(const TProtocol& Protocol);
};
