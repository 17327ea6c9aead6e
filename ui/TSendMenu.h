#pragma once
// The Output menu: sends the selected packet through the sound card's output to IR LEDs, and
// chooses the output device (remembered in QSettings like the input). A send plays on its own
// thread; recording and browsing go on meanwhile.

#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TCaptureDevice.h"
#include "TCarrierRenderer.h"

class QAction;
class QMenu;
class QMenuBar;
class QSettings;
class TCodeLibrary;
class TSample;
class TSendJob;
class TSoundOutput;

class TSendMenu : public QObject {
 public:
  static constexpr const char* SettingsKey = "send/output";  // the output's name; "" = default
  static constexpr const char* ModeKey = "send/mode";        // "antiphase" or "mono"
  static constexpr const char* DefaultCaption = "&Default output";
  static constexpr const char* SendCaption = "&Send selected packet";
  static constexpr const char* MonoCaption = "&Mono (one LED, 96 kHz)";

  struct THooks {
    std::function<std::shared_ptr<TSoundOutput>()> MakeOutput;     // made when first needed
    std::function<std::vector<const TSample*>()> Selected;         // the packets to send
    std::function<std::shared_ptr<const TCodeLibrary>()> Library;  // the protocols loaded
    std::function<void(const std::string&)> Report;                // an error for the user
  };

  // Adds the menu to Bar before Before. Never fails.
  TSendMenu(QMenuBar* Bar, QAction* Before, THooks Hooks);
  ~TSendMenu() override;

  // Sends the selected packets one after the other (their repeats left out); reports why when
  // there is none, one cannot be drawn or the output fails. Returns at once.
  void Send();
  // Lists the default and the outputs present now, the chosen one checked.
  void Refill();
  // Plays on Name ("" = the default) from now on and remembers it.
  void Choose(const std::string& Name);
  // True while a send plays.
  bool Sending() const;
  static std::unique_ptr<QSettings> Settings();

  QMenu* Menu;
  QAction* SendAction;
  QAction* MonoAction;

 private:
  void Fill(const std::vector<TCaptureDevice>& Outputs);
  TSendJob& Job();

  THooks Hooks;
  std::string Chosen;
  std::shared_ptr<TSoundOutput> Output;
  std::unique_ptr<TSendJob> Worker;
};
