#include "TSettingsStore.h"

#include <QCoreApplication>

namespace {
using TItem = TDecodeSettings::TItem;
const char* const Group = "decoding";
const char* const UnusableValue = "%1: %2: %3; the default %4 is used.";
const char* const NotSaved = "%1: the settings could not be saved (%2).";

QString Key(TItem Item) {
  return QString(Group) + "/" + TDecodeSettings::Name(Item);
}
}  // namespace

TSettingsStore::TSettingsStore()
    : Store(QSettings::IniFormat, QSettings::UserScope, QCoreApplication::organizationName(),
            QCoreApplication::applicationName()) {}

std::unique_ptr<QSettings> TSettingsStore::File() {
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                     QCoreApplication::organizationName(),
                                     QCoreApplication::applicationName());
}

TDecodeSettings TSettingsStore::Load(std::vector<QString>& Problems) {
  TDecodeSettings settings;
  const TDecodeSettings defaults;
  for (TItem item : TDecodeSettings::Items) {
    const QVariant value = Store.value(Key(item));
    if (!value.isValid()) continue;
    const std::string problem = settings.SetValue(item, value.toString().toStdString());
    if (problem.empty()) continue;
    Problems.push_back(QString(UnusableValue)
                           .arg(FileName(), TDecodeSettings::Name(item),
                                QString::fromStdString(problem),
                                QString::fromStdString(defaults.ValueText(item))));
  }
  return settings;
}

QString TSettingsStore::Save(const TDecodeSettings& Settings) {
  for (TItem item : TDecodeSettings::Items)
    Store.setValue(Key(item), QString::fromStdString(Settings.ValueText(item)));
  Store.sync();
  if (Store.status() == QSettings::NoError) return {};
  const char* reason = Store.status() == QSettings::AccessError ? "no access" : "format error";
  return QString(NotSaved).arg(FileName(), reason);
}
