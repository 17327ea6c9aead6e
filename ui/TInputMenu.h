#pragma once
// The Input menu: which recording device the window records from. The choice is given to the
// sound system and remembered (QSettings) for the next start; "Default input" follows the
// system's default device, as the window always did.

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TCaptureDevice.h"

class QAction;
class QMenu;
class QMenuBar;
class QSettings;
class TSoundSystem;

class TInputMenu : public QObject {
 public:
  static constexpr const char* SettingsKey = "capture/input";  // the input's name; "" = default
  static constexpr const char* DefaultCaption = "&Default input";
  static constexpr const char* MissingSuffix = " (not present)";
  static constexpr const char* NoDeviceCaption =
      "No recording device found (vorlent-listen --list-devices lists them)";

  // Adds the menu to Bar before Before and gives Sound the remembered input. OnChanged runs
  // after the user chose another input. Never fails: an unknown input fails to open later.
  TInputMenu(QMenuBar* Bar, QAction* Before, TSoundSystem& Sound, std::function<void()> OnChanged);

  // Lists the default and the inputs present now, the chosen one checked (a chosen input that
  // is gone is listed with MissingSuffix); when the sound system has no device at all, a
  // disabled NoDeviceCaption entry says so. Runs each time the menu opens.
  void Refill();
  // Records from Name ("" = the default) from the next start on and remembers it.
  void Choose(const std::string& Name);
  // The settings the choice is kept in (the user's; tests point QSettings elsewhere).
  static std::unique_ptr<QSettings> Settings();

  QMenu* Menu;

 private:
  void Fill(const std::vector<TCaptureDevice>& Inputs, bool Looked);
  QAction* AddEntry(const QString& Caption, const std::string& Name);

  TSoundSystem& Sound;
  std::function<void()> OnChanged;
};
