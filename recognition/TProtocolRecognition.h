#pragma once
// Reads the protocol library (protocols.xml) and decodes packets against it.
// (Interface agreed with the window and the command-line tool; the implementation may add
// private members and helpers but keeps these public names and signatures.)

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TDefinition.h"
#include "TSample.h"
#include "TSymbolBits.h"

class TXmlDocument;  // the XML facility, behind an interface of its own
class TXmlNode;
class TXmlNodeList;
class TXmlQuery;
class TWorkBudget;
class TTolerantPass;
class TGenericPass;

using TReportEvent = std::function<void(const std::string& Text)>;

class TProtocolRecognition {
 public:
  TProtocolRecognition();
  ~TProtocolRecognition();

  // Tolerance := SampleRate x Seconds, in PCM samples. Call after SampleRate is set.
  void SetTolerance(float Seconds);
  // Loads FileName and compiles its definitions; a missing or malformed file is reported once
  // through OnReport ("Error loading XML document.\rError number: ...") and leaves an empty
  // library. A library whose definitions together could need more than MaxMatchesPerPacket
  // timing matches on one packet is reported too (naming the file); it is kept, and a packet
  // that really needs more is left "unknown".
  void LoadProtocols(const std::string& FileName);
  // Description and link of the first protocol named ProtocolName; "No description
  // available" and "" when there is none. Any name is safe (quotes included).
  void GetDescription(const std::string& ProtocolName, std::string& Url, std::string& Description);
  // Names the protocol of Sample and fills its fields and marks; "unknown" when no
  // definition matches (or Pulses is empty). Never throws on a bad definition. A timing item
  // shorter than one sample never matches, a definition never adds more bit marks than the
  // packet has samples, and one packet costs at most MaxMatchesPerPacket timing matches per pass.
  void Decode(TSample& Sample);
  // The longest end-silence="ms" an entry of the library asks for; 0 when none does.
  double LongestEndSilenceMillis() const;
  // Names the protocol of Sample, a packet joined from packets that the ending silence cut
  // apart, GapMillis its longest space: only entries whose end-silence is at least that long
  // are tried (exact, then tolerant). False, and Sample unknown, when none fits. Never throws.
  bool DecodeJoined(TSample& Sample, double GapMillis);
  // Whether DecodeJoined could name a packet joined from Sample and the packets after it: the
  // first mark of Sample could begin a frame of an entry with an end-silence, in a pass that is
  // on. False when no entry asks for a silence. Never fails.
  bool MayBeginJoined(const TSample& Sample);
  // Matches one timing pattern, as written, at Cursor; advances Cursor, Remainder and Position
  // on success, changes nothing on failure (an invalid pattern simply fails; never throws).
  bool MatchTiming(const std::string& Pattern, uint16_t& Position);
  // Sets the text between whole and fraction digits of a duration; the constructor takes it from
  // the C locale (localeconv). An empty separator allows whole numbers only; a loaded library is
  // read again with the new separator. Never fails.
  void SetDecimalSeparator(const std::string& Separator);
  // The loaded library's definitions as compiled, in file order (empty before a load). Never
  // fails.
  const std::vector<TDefinition>& Definitions() const { return Definitions_; }

  // Timing matches one packet may cost in each pass: the shipped library needs at most 1,734 in
  // the exact pass and five times that in the tolerant one; this is a few milliseconds of work.
  static constexpr uint64_t MaxMatchesPerPacket = uint64_t{1} << 18;

  TReportEvent OnReport;  // receives the load error text; the owner shows it
  // Packets that no definition fits exactly get a second, tolerant try (TMatch::Likely).
  bool SecondPass = true;
  // Packets still unknown after that are read without a definition (TMatch::Generic).
  bool GenericPass = true;

  std::unique_ptr<TXmlDocument> Document;
  std::unique_ptr<TXmlNodeList> ProtocolNodes;
  uint16_t Cursor = 0;
  uint16_t Remainder = 0;
  const std::vector<uint16_t>* CurrentPulses = nullptr;
  float Tolerance = 0;
  uint16_t SampleRate = 0;

 private:
  friend class TDefinitionWalk;  // walks a definition with the matcher below
  static constexpr int32_t NotConverted = -1;
  // The packet and budget of the definition being tried, and the position the walk stands at.
  struct TWalkState {
    TSample* Sample = nullptr;
    TWorkBudget* Budget = nullptr;
    uint16_t Position = 0;
  };

  void CompileDefinitions();
  void ReportCost(const std::string& FileName) const;
  void ConvertDefinitions();
  bool ReadExactly(const std::vector<TDefinition>& Definitions, TSample& Sample);
  bool CanStart(const TDefinition& Definition, uint16_t FirstMark) const;
  bool TryDefinition(const TDefinition& Definition, TSample& Sample, TWorkBudget& Budget);
  // The exact matcher of TDefinitionWalk: the walk's runs read within the tolerance as written.
  bool Accepts(const TDefinition::TItem& Item) const;
  bool Delimiter(const TDefinition::TItem& Item, bool First);
  std::optional<double> Pattern(const TCompiledPattern& Pattern, bool Trial);
  bool BitRead(unsigned Bit);
  bool FieldRead(const TDefinition::TItem& Data, uint64_t Value);
  TSymbolBits& SymbolBits() { return SymbolBits_; }
  bool MatchPattern(const TCompiledPattern& Pattern, uint16_t& Position, TWorkBudget& Budget);
  bool MatchSamples(bool HighFirst, const std::vector<float>& Durations, uint16_t& Position,
                    const std::vector<float>* Windows = nullptr);
  void MarkUnknown(TSample& Sample) const;

  double FitDistance_ = 0;  // samples between the runs and the last pattern that fitted
  bool Measuring_ = false;  // a symbol is tried: FitDistance_ is kept
  std::unique_ptr<TXmlQuery> ProtocolsQuery_;
  std::unique_ptr<TXmlQuery> ItemsQuery_;
  std::unique_ptr<TXmlQuery> OneBitQuery_;
  std::unique_ptr<TXmlQuery> ZeroBitQuery_;
  std::unique_ptr<TXmlQuery> DescriptionQuery_;
  std::string DecimalSeparator_;
  std::vector<long double> Durations_;     // scratch of MatchTiming, kept to avoid allocations
  std::vector<float> DurationSamples_;     // the same in samples
  std::vector<TDefinition> Definitions_;   // ProtocolNodes compiled, in file order
  int32_t DefinitionRate_ = NotConverted;  // the rate Definitions_ are converted at
  TProtocol Found_;                        // the fields of the definition being tried
  std::vector<uint64_t> FieldValues_;      // their values, also past TProtocol::MaxFields
  uint32_t MostBitMarks_ = 0;              // of the packet being decoded: its samples + 1
  std::unique_ptr<TTolerantPass> TolerantPass_;
  TSymbolBits SymbolBits_;  // of the definition being tried
  TWalkState Walk_;         // of the definition being tried
  std::unique_ptr<TGenericPass> GenericPass_;
};
