#pragma once
// The Qt dialog of File > Export codes: which packets, the selected packet's name and the
// carrier, then the platform's save dialog with one file type per format.

#include <QStringList>

#include "TExportCodesChoice.h"

class QWidget;

class TExportCodesDialog {
 public:
  static constexpr int MaxCarrierHz = 1000000;

  // Asks Owner's user; Choice holds the defaults and receives the answers. Formats are
  // "Title (*.ext)" entries. False when the user cancels either dialog.
  static bool Ask(QWidget* Owner, const QStringList& Formats, TExportCodesChoice& Choice);

 private:
  static bool AskOptions(QWidget* Owner, TExportCodesChoice& Choice);
  static bool AskFile(QWidget* Owner, const QStringList& Formats, TExportCodesChoice& Choice);
};
