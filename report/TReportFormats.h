#pragma once
// The packet formats of the command-line programs in one table: the name an option takes, what
// the help says of it and which programs write it. The option parsers and the help are fed from
// it, so a new format is one entry here and one case where packets are written.

#include <string>
#include <vector>

class TReportFormats {
 public:
  enum class TFormat { Table, Csv, Json, Jsonl, Codes };
  enum TProgram : unsigned { Decode = 1, Listen = 2 };

  struct TEntry {
    const char* Name;  // as --format takes it
    TFormat Format;
    const char* Help;   // its words in the option's help
    unsigned Programs;  // TProgram bits
  };

  // The formats Program writes, in the order its help lists them. Never fails.
  static std::vector<TEntry> Of(TProgram Program);
  // Their names, for the option's check. Never fails.
  static std::vector<std::string> Names(TProgram Program);
  // Their help words as a list: "table, json or csv". Never fails.
  static std::string HelpList(TProgram Program);
  // The format Program writes under Name; throws std::out_of_range naming it when there is none.
  static TFormat Find(TProgram Program, const std::string& Name);
};
