#pragma once
// What the window tests share: a dialog fake, a protocol library with an NEC-like definition,
// packet builders and a window recording from a scripted sound system in a scratch folder.

#include <QCoreApplication>
#include <QSettings>
#include <QString>
#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "TDialogs.h"
#include "TMainWindow.h"
#include "TRecordButton.h"
#include "TScriptedSoundSystem.h"
#include "TSignalProcessor.h"

namespace ui_test {
namespace fs = std::filesystem;

constexpr size_t BufferSize = TSignalProcessor::BufferSize;
constexpr uint8_t High = 200, Quiet = 128;
// Run lengths in PCM samples at 48000 Hz of the NEC-like timing below.
constexpr size_t Leader = 432, LeaderPause = 216, Mark = 27, Zero = 27, One = 81;

inline const char* ProtocolsXml = R"(<?xml version="1.0"?>
<protocols>
  <protocol name="NEC">
    <description url="http://example.org/nec">Pulse distance code.
32 bits.</description>
    <bitset><bit value="1">#560_1690</bit><bit value="0">#560_560</bit></bitset>
    <packet>
      <delimiter name="start">#9000_4500</delimiter>
      <data name="address" length="8" bitorder="LSB"/>
      <data name="command" length="8" bitorder="LSB"/>
      <delimiter name="stop">#560</delimiter>
    </packet>
  </protocol>
  <protocol><description>no name: never tried</description></protocol>
</protocols>
)";

// ProtocolsXml with Entries (whole <protocol> elements) after its NEC entry.
inline std::string ProtocolsWith(const std::string& Entries) {
  std::string xml = ProtocolsXml;
  return xml.insert(xml.find("  <protocol><description>"), Entries);
}

// A progress box's history, kept after the box is closed.
struct TFakeBox {
  QString Text;
  std::vector<double> Fractions;
  bool Open = true;
  std::function<void()> Cancel;  // what the box's Cancel button does
};

class TFakeProgress : public TProgress {
 public:
  TFakeProgress(std::shared_ptr<TFakeBox> Shown, double CancelFrom)
      : Box(Shown), CancelAt(CancelFrom) {}
  ~TFakeProgress() override { Box->Open = false; }
  void SetFraction(double Fraction) override {
    Box->Fractions.push_back(Fraction);
    if (Fraction >= CancelAt && Box->Cancel) std::exchange(Box->Cancel, nullptr)();
  }

 private:
  std::shared_ptr<TFakeBox> Box;
  double CancelAt;
};

// Answers in place of the user and remembers what was asked and shown.
class TFakeDialogs : public TDialogs {
 public:
  struct TAsked {
    QString Kind, Title, Filter, Folder;
    bool ConfirmOverwrite = false;
  };

  void ShowMessage(const QString& Text) override {
    Messages.push_back(Text);
    if (DuringMessage) DuringMessage();
  }
  void ShowError(const QString& Text) override { Errors.push_back(Text); }
  QString GetSaveFileName(const QString& Title, const QString& Filter, bool Confirm) override {
    Asked.push_back({"save", Title, Filter, {}, Confirm});
    return NextAnswer();
  }
  QString GetOpenFileName(const QString& Filter, const QString& Title,
                          const QString& Folder) override {
    Asked.push_back({"open", Title, Filter, Folder, false});
    return NextAnswer();
  }
  std::unique_ptr<TProgress> OpenProgress(const QString& Text,
                                          std::function<void()> OnCancel) override {
    Boxes.push_back(std::make_shared<TFakeBox>(TFakeBox{Text, {}, true, std::move(OnCancel)}));
    return std::make_unique<TFakeProgress>(Boxes.back(), CancelAt);
  }
  void OpenUrl(const QString& Url) override { Urls.push_back(Url); }
  // Shows Settings to Edit, which may change them; its result is the user's answer.
  bool EditDecodeSettings(TDecodeSettings& Settings) override {
    SettingsShown.push_back(Settings);
    return EditSettings && EditSettings(Settings);
  }
  bool AskExportCodes(const QStringList& Formats, TExportCodesChoice& Choice) override {
    ExportFormats = Formats;
    ExportDefaults.push_back(Choice);
    if (ExportAnswers.empty()) return false;
    Choice = ExportAnswers.front();
    ExportAnswers.pop_front();
    return true;
  }

  bool Confirm(const QString& Question, const QString&) override {
    Questions.push_back(Question);
    return ConfirmAnswer;
  }

  std::vector<QString> Messages, Errors, Urls, Questions;
  bool ConfirmAnswer = true;  // the user's answer to every Confirm
  std::vector<std::shared_ptr<TFakeBox>> Boxes;
  double CancelAt = 2;  // the user cancels at the first progress of a box this high or higher
  std::vector<TAsked> Asked;
  std::deque<QString> Answers;                         // file names the dialogs return, "" = cancel
  std::function<void()> DuringMessage;                 // runs while a message box would be open
  std::function<bool(TDecodeSettings&)> EditSettings;  // the user in the settings dialog
  std::vector<TDecodeSettings> SettingsShown;
  QStringList ExportFormats;                       // offered by the last Export codes
  std::vector<TExportCodesChoice> ExportDefaults;  // what each Export codes proposed
  std::deque<TExportCodesChoice> ExportAnswers;    // the user's answers; none left = cancel

 private:
  QString NextAnswer() {
    if (Answers.empty()) return {};
    QString answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
};

// Runs of an NEC-like packet: leader, 8 address and 8 command bits (LSB first), stop.
inline std::vector<std::pair<uint8_t, size_t>> NecRuns(uint8_t Address, uint8_t Command) {
  std::vector<std::pair<uint8_t, size_t>> runs = {{High, Leader}, {Quiet, LeaderPause}};
  for (uint16_t bits = static_cast<uint16_t>(Address | Command << 8), i = 0; i < 16; ++i) {
    runs.push_back({High, Mark});
    runs.push_back({Quiet, (bits >> i) & 1 ? One : Zero});
  }
  runs.push_back({High, Mark});
  return runs;
}

// Writes Runs into Buffer from At on; returns the index after the last run.
inline size_t Put(std::vector<uint8_t>& Buffer, size_t At,
                  const std::vector<std::pair<uint8_t, size_t>>& Runs) {
  for (auto [value, count] : Runs) {
    for (size_t i = 0; i < count && At < Buffer.size(); ++i) Buffer[At++] = value;
  }
  return At;
}

// The PCM values of Sample, packed or not.
inline std::vector<uint8_t> ValuesOf(const TSample& Sample) {
  std::vector<uint8_t> scratch;
  return Sample.SignalValues(scratch);
}

inline std::vector<uint8_t> QuietBuffer() {
  return std::vector<uint8_t>(BufferSize, Quiet);
}

// Points the window's settings (QSettings, INI format) at a scratch folder of this process,
// removed at its end, so that the windows of tests, benchmarks and pictures neither read nor
// change the user's own. Call before the first window is made; later calls do nothing.
inline void UseScratchSettings() {
  static const struct TScratch {
    TScratch() {
      std::string pattern = (fs::temp_directory_path() / "vorlent-settings-XXXXXX").string();
      Dir = mkdtemp(pattern.data());
      QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(Dir));
    }
    ~TScratch() {
      std::error_code ignored;
      fs::remove_all(Dir, ignored);
    }
    fs::path Dir;
  } scratch;
}

// A window in a scratch folder that holds protocols.xml, recording from a scripted sound system.
class TWindowRig {
 public:
  explicit TWindowRig(const char* Protocols = ProtocolsXml) : OldDir(fs::current_path()) {
    UseScratchSettings();
    std::string pattern = (fs::temp_directory_path() / "vorlent-ui-XXXXXX").string();
    Dir = mkdtemp(pattern.data());
    if (Protocols) std::ofstream(Dir / "protocols.xml") << Protocols;
    fs::current_path(Dir);
    auto dialogs = std::make_unique<TFakeDialogs>();
    Dialogs = dialogs.get();
    auto sound = std::make_unique<TScriptedSoundSystem>();
    Sound = sound.get();
    Gui = std::make_unique<TMainWindow>(std::move(dialogs), std::move(sound),
                                        std::vector<std::string>{Dir.string()});
  }
  ~TWindowRig() {
    Gui.reset();
    fs::current_path(OldDir);
    std::error_code ignored;
    fs::remove_all(Dir, ignored);
  }

  void Record() { Gui->RecordButton->click(); }
  // Plays Data into the queued buffers and lets the window handle every full one.
  void Feed(const std::vector<uint8_t>& Data) {
    Sound->Feed(Data);
    Pump();
  }
  static void Pump() {
    for (int i = 0; i < 3; ++i) {
      QCoreApplication::sendPostedEvents();
      QCoreApplication::processEvents();
    }
  }
  // Records one buffer holding an NEC packet per (address, command), 10 ms apart.
  void RecordNec(const std::vector<std::pair<uint8_t, uint8_t>>& Packets) {
    if (!Gui->Processor->WaveIn->Recording) Record();
    auto buffer = QuietBuffer();
    size_t at = 1000;
    for (auto [address, command] : Packets) at = Put(buffer, at, NecRuns(address, command)) + 480;
    Feed(buffer);
  }
  const TSample& Sample(size_t Index) const { return *Gui->Processor->Samples.at(Index); }
  // Lets the window handle events until its import is over; false when it takes too long.
  bool WaitForImport() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (Gui->ImportRunning()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      QCoreApplication::processEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    Pump();
    return true;
  }

  fs::path OldDir, Dir;
  TFakeDialogs* Dialogs;
  TScriptedSoundSystem* Sound;
  std::unique_ptr<TMainWindow> Gui;
};
}  // namespace ui_test

// Readable QStrings in failure messages.
inline void PrintTo(const QString& Text, std::ostream* Out) {
  *Out << '"' << Text.toStdString() << '"';
}
