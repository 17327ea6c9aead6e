#pragma once
// Writes decoded packets as an aligned table, as CSV (RFC 4180) or as one JSON document, each
// as the packets come: the table holds back at most its first TableLookAheadRows rows, to fit
// its columns to them, so memory does not grow with the number of packets.

#include <cstddef>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "TCodeExport.h"
#include "TReportFormats.h"
#include "TTableLine.h"
#include "TSample.h"

class TPacketReport {
 public:
  using TFormat = TReportFormats::TFormat;          // Jsonl is the listener's
  static constexpr size_t TableLookAheadRows = 64;  // rows that set the table's column widths

  // Several: more than one input is reported (the table names each, CSV adds a column).
  // Named: packets may carry signal names (from code files): the table and CSV add a Name
  // column. Codes: every packet goes to Export, which Finish writes.
  TPacketReport(std::ostream& Out, TFormat Format, bool Several, bool Named = false,
                std::unique_ptr<TCodeExport> Export = nullptr);
  ~TPacketReport();

  // Starts the packets of Input (the path as given on the command line).
  void BeginInput(const std::string& Input);
  // One decoded packet of the current input. A packet with a StreamIndex came from a
  // recording (Time is its offset from the start); otherwise Time is its capture time.
  void Add(const TSample& Sample);
  // Ends the current input: the table's rows not written yet are written now, aligned.
  void EndInput();
  // Ends the report (closes the JSON document). Call once, after the last input.
  void Finish();

  // The cells of a table row (TPacketCells::Of).
  static std::vector<std::string> Columns(const TSample& Sample);
  // The JSON object of one packet on one line, as the json format lists it; Cells are its
  // Columns (the Time cell may be another time text). Never fails.
  static std::string JsonPacket(const TSample& Sample, const std::vector<std::string>& Cells,
                                const std::string& InputName, size_t PacketIndex);
  // Text as one CSV field: quoted (quotes doubled) when it holds a comma, quote or line break.
  static std::string CsvField(const std::string& Text);

 private:
  void AddTableRow(std::vector<std::string> Cells);
  void WriteTable();
  void WriteCsvRow(const std::vector<std::string>& Cells) const;
  void WriteJson(const TSample& Sample);

  std::ostream& Out;
  TFormat Format;
  bool Several;
  std::string Input;
  size_t InputCount = 0;
  size_t Index = 0;                            // of the next packet within the input
  size_t JsonPackets = 0;                      // written so far, for the separators
  std::vector<std::vector<std::string>> Rows;  // table rows held while the widths are measured
  TTableLine Line;                             // the table's columns, fitted when started
  bool TableStarted = false;                   // header written, rows go out as they come
  bool Named = false;
  std::unique_ptr<TCodeExport> Export;
};
