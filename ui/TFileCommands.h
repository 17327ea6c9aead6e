#pragma once
// The File menu's commands on packets: saving and loading samples, importing a recording or a
// code file on a worker, exporting codes, learning a protocol and exporting the graph. Each
// may throw; the window shows the error.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TImportWorker.h"
#include "TLastFolder.h"
#include "TProgress.h"

class TMainWindow;

class TFileCommands {
 public:
  // Runs a handler and shows what it throws.
  using TGuard = std::function<void(const std::function<void()>& Handler)>;

  // Works on Window's parts (made by its FormCreate before a command runs); Guard runs the
  // import's completion on the window's thread.
  TFileCommands(TMainWindow& Window, TGuard Guard);
  // Ends a running import (it adds nothing) before the window goes.
  ~TFileCommands();

  // Asks for a base name and writes the .map/.dat pair, after asking before replacing one.
  void Save();
  // Asks for a .map file and replaces the list with its packets (after asking before losing
  // unsaved ones); a missing .dat is reported and loses nothing.
  void Load();
  // Asks for an audio file and starts decoding it on a worker; returns at once. When it is
  // done its packets are decoded and appended to the list; a cancelled import adds nothing,
  // and a file that cannot be read is reported (TRecordingError's text) and adds nothing.
  void Import();
  // True from the start of an import until its packets are appended (or it failed or was
  // cancelled).
  bool ImportRunning() const;
  // Stops a running import at its next buffer; it adds nothing. Never fails.
  void CancelImport();
  // Asks for the packets, a name, the carrier and the file, and writes them as codes of the
  // chosen file type, atomically: Packets (indices into the samples) one as the selected
  // packet, several as all packets; none: the selected row's packet or all. Throws when the
  // file cannot be written; an earlier file then stays as it was.
  void Export(const std::vector<int>& Packets);
  // Learns a protocol from the selected packets or every unknown and generic one; a
  // definition added to the user's library is loaded from there and every packet is decoded
  // again.
  void Learn();
  // Asks for a file and writes the graph's image.
  void ExportGraph();

 private:
  void FinishImport(TImportWorker::TOutcome& Outcome);
  void SayWhenNothingFound(const TImportWorker::TOutcome& Outcome);
  void ShowImportSummary(const std::string& FileName, size_t Packets);
  void ReportLeftOut(const std::vector<std::string>& Problems);

  TMainWindow& Window;
  std::unique_ptr<TImportWorker> Importer;     // decodes a recording on its own thread
  std::unique_ptr<TProgress> ImportProgress;   // the running import's box
  TLastFolder SamplesFolder{"samples"};        // where Load samples opens
  TLastFolder RecordingsFolder{"recordings"};  // where Import recording opens
};
