#include "TExportMemory.h"

#include <QFileInfo>

#include "TLastFolder.h"
#include "TSettingsStore.h"

namespace {
const char* const FolderKind = "exports";
const char* const AllKey = "all";
const char* const CarrierKey = "carrier";
const char* const FormatKey = "format";
}  // namespace

void TExportMemory::Recall(TExportCodesChoice& Choice) {
  const auto file = TSettingsStore::File();
  if (file->value(QString(Group) + AllKey).toBool()) Choice.AllPackets = true;
  bool ok = false;
  const uint carrier = file->value(QString(Group) + CarrierKey).toUInt(&ok);
  if (ok) Choice.CarrierHz = carrier;
  const int format = file->value(QString(Group) + FormatKey).toInt(&ok);
  if (ok && format >= 0) Choice.Format = format;
}

QString TExportMemory::Folder() {
  return TLastFolder(FolderKind).Get();
}

void TExportMemory::Remember(const TExportCodesChoice& Choice) {
  const auto file = TSettingsStore::File();
  file->setValue(QString(Group) + AllKey, Choice.AllPackets);
  file->setValue(QString(Group) + CarrierKey, Choice.CarrierHz);
  file->setValue(QString(Group) + FormatKey, Choice.Format);
  TLastFolder(FolderKind).Remember(Choice.FileName);
}

int TExportMemory::FormatOfName(const QStringList& Formats, const QString& FileName, int Chosen) {
  const QString suffix = QFileInfo(FileName).suffix();
  if (suffix.isEmpty()) return Chosen;
  const QString pattern = "(*." + suffix + ")";
  for (int i = 0; i < Formats.size(); ++i) {
    if (Formats[i].endsWith(pattern, Qt::CaseInsensitive)) return i;
  }
  return Chosen;
}
