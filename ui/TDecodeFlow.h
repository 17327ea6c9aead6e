#pragma once
// The decoding settings and the protocol library of the window: loads the stored settings and
// the library at start, lets the user change the settings, applies them to capture and
// recognition, shows them and the library in the status bar, and decodes the listed packets
// again when either changes.

#include <string>
#include <vector>

#include "TDecodeSettings.h"

class QLabel;
class TDialogs;
class TPacketSync;
class TProtocolRecognition;
class TSignalProcessor;

class TDecodeFlow {
 public:
  // All parts are the window's and outlive this object: Settings the current ones (InvertInput
  // is the check box's), SettingsPanel and LibraryPanel the status bar's labels of the
  // settings and the library.
  TDecodeFlow(TDecodeSettings& Settings, TDialogs& Dialogs, TSignalProcessor& Processor,
              TProtocolRecognition& Recognition, QLabel& SettingsPanel, QLabel& LibraryPanel);

  // The stored settings; a value that cannot be used is reported and its default used.
  void LoadSettings();
  // Asks for the settings; confirmed ones are remembered (a failure to store them reported),
  // applied, and the listed packets are decoded again with them.
  void EditSettings();
  // The first library found in Folders is used and shown in the status bar; none found, or a
  // broken one, is reported once and the window runs with an empty library.
  void LoadLibrary(const std::vector<std::string>& Folders);
  // Decodes the listed packets again with the current settings (their runs anew when the
  // level changed; a packet without a signal keeps its runs) and keeps the selected row.
  void DecodeAgain(bool LevelChanged);

  std::string LibraryFile;      // the library in use, "" when none
  std::string LibraryProblem;   // why none is in use
  TPacketSync* Sync = nullptr;  // relists after decoding again, once set

 private:
  void Apply();

  TDecodeSettings& Settings;
  TDialogs& Dialogs;
  TSignalProcessor& Processor;
  TProtocolRecognition& Recognition;
  QLabel& SettingsPanel;
  QLabel& LibraryPanel;
};
