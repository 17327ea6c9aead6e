#pragma once
// What File > Export codes chose last time, kept across runs in the program's settings file:
// the packets (all or the selected one), the carrier, the format and the folder.

#include <QStringList>

#include "TExportCodesChoice.h"

class TExportMemory {
 public:
  // Puts the remembered answers into Choice: the format and carrier where stored, and
  // all packets when they were chosen last (a choice of the selected one stays as Choice has
  // it). Never fails.
  static void Recall(TExportCodesChoice& Choice);
  // The folder of the last exported file, where the file dialog opens; "" when none.
  static QString Folder();
  // Remembers Choice (its file's folder as the folder). A file that cannot be written is
  // ignored. Never fails.
  static void Remember(const TExportCodesChoice& Choice);
  // The format a file name asks for by its extension ("x.lircd.conf": the entry with
  // "(*.conf)"), case aside; Chosen when no entry of Formats ("Title (*.ext)") has it.
  static int FormatOfName(const QStringList& Formats, const QString& FileName, int Chosen);

 private:
  static constexpr const char* Group = "export/";
};
