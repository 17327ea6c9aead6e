#include "TReportFormats.h"

#include <stdexcept>

namespace {
using TFormat = TReportFormats::TFormat;
constexpr unsigned Both = TReportFormats::Decode | TReportFormats::Listen;
const TReportFormats::TEntry Entries[] = {
    {"table", TFormat::Table, "table", Both},
    {"json", TFormat::Json, "json", TReportFormats::Decode},
    {"csv", TFormat::Csv, "csv", TReportFormats::Decode},
    {"jsonl", TFormat::Jsonl, "jsonl (one JSON object a line)", TReportFormats::Listen},
};
const char* const ListSeparator = ", ";
const char* const LastSeparator = " or ";
}  // namespace

std::vector<TReportFormats::TEntry> TReportFormats::Of(TProgram Program) {
  std::vector<TEntry> entries;
  for (const TEntry& entry : Entries)
    if (entry.Programs & Program) entries.push_back(entry);
  return entries;
}

std::vector<std::string> TReportFormats::Names(TProgram Program) {
  std::vector<std::string> names;
  for (const TEntry& entry : Of(Program)) names.push_back(entry.Name);
  return names;
}

std::string TReportFormats::HelpList(TProgram Program) {
  const std::vector<TEntry> entries = Of(Program);
  std::string text;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (i) text += i + 1 == entries.size() ? LastSeparator : ListSeparator;
    text += entries[i].Help;
  }
  return text;
}

TReportFormats::TFormat TReportFormats::Find(TProgram Program, const std::string& Name) {
  for (const TEntry& entry : Of(Program))
    if (Name == entry.Name) return entry.Format;
  throw std::out_of_range("no output format " + Name);
}
