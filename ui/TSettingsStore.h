#pragma once
// Keeps the decoding settings between runs in the user's QSettings file (group "decoding",
// one key per setting, the values as vorlent-decode's options take them).

#include <QSettings>
#include <QString>
#include <memory>
#include <vector>

#include "TDecodeSettings.h"

class TSettingsStore {
 public:
  // The settings of the user's configuration file (organization and application name of
  // the running application).
  TSettingsStore();

  // The stored settings; a missing value is the default, and a value that cannot be used
  // is the default too and is described in Problems ("FILE: level: \"x\" is neither a whole
  // number nor auto; the default 143 is used."). Never throws.
  TDecodeSettings Load(std::vector<QString>& Problems);
  // Stores Settings (InvertInput aside); a failure to write shows in the result's text
  // ("FILE: the settings could not be saved"), "" when all went well.
  QString Save(const TDecodeSettings& Settings);
  // The file the settings live in.
  QString FileName() const { return Store.fileName(); }
  // The program's one settings file (~/.config/Vorlent/Vorlent.ini: organization and
  // application name of the running application), for every part of the window that
  // remembers something. Never fails.
  static std::unique_ptr<QSettings> File();

 private:
  QSettings Store;
};
