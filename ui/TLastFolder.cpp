#include "TLastFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

QString TLastFolder::Get() const {
  const QString folder = QSettings(Organization, Application).value(Key).toString();
  return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void TLastFolder::Remember(const QString& FileName) {
  if (FileName.isEmpty()) return;
  QSettings(Organization, Application).setValue(Key, QFileInfo(FileName).absolutePath());
}
