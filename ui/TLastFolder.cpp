#include "TLastFolder.h"

#include <QDir>
#include <QFileInfo>

#include "TSettingsStore.h"

QString TLastFolder::Get() const {
  const QString folder = TSettingsStore::File()->value(Key).toString();
  return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void TLastFolder::Remember(const QString& FileName) {
  if (FileName.isEmpty()) return;
  TSettingsStore::File()->setValue(Key, QFileInfo(FileName).absolutePath());
}
