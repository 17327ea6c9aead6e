#include "TProtocolRecognition.h"

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <map>
#include <tuple>

#include "TCompiledPattern.h"
#include "TDefinitionWalk.h"
#include "TGenericPass.h"
#include "TRunWindow.h"
#include "TSymbolBits.h"
#include "TSymbolDistance.h"
#include "TTimingPattern.h"
#include "TTolerantPass.h"
#include "TWorkBudget.h"
#include "TXmlDocument.h"
#include "TXmlNode.h"
#include "TXmlNodeList.h"
#include "TXmlQuery.h"

namespace {

constexpr const char* ProtocolsExpression = "protocols/protocol[@name]";
constexpr const char* DescriptionExpression = "protocols/protocol[@name=$name]/description";
constexpr const char* DescriptionVariable = "name";

constexpr const char* LoadErrorFormat =
    "Error loading XML document.\rError number: %d\rReason: %s\rLine: %d\rColumn: %d";
constexpr const char* NoDescription = "No description available";
constexpr const char* UnknownProtocol = TProtocol::UnknownName;

constexpr size_t MaxRuns = 65535;  // runs a 16-bit Cursor can walk through

std::string LocaleDecimalSeparator() {
  const std::lconv* conventions = std::localeconv();
  if (!conventions || !conventions->decimal_point || !*conventions->decimal_point) return ".";
  return conventions->decimal_point;
}

}  // namespace

TProtocolRecognition::TProtocolRecognition()
    : ProtocolsQuery_(std::make_unique<TXmlQuery>(ProtocolsExpression)),
      ItemsQuery_(std::make_unique<TXmlQuery>(TDefinition::ItemsExpression)),
      OneBitQuery_(std::make_unique<TXmlQuery>(TDefinition::OneBitExpression)),
      ZeroBitQuery_(std::make_unique<TXmlQuery>(TDefinition::ZeroBitExpression)),
      DescriptionQuery_(std::make_unique<TXmlQuery>(DescriptionExpression,
                                                    std::vector<std::string>{DescriptionVariable})),
      DecimalSeparator_(LocaleDecimalSeparator()),
      TolerantPass_(std::make_unique<TTolerantPass>()),
      GenericPass_(std::make_unique<TGenericPass>()) {}

TProtocolRecognition::~TProtocolRecognition() = default;

void TProtocolRecognition::SetTolerance(float Seconds) {
  Tolerance = static_cast<float>(SampleRate) * Seconds;
}

void TProtocolRecognition::LoadProtocols(const std::string& FileName) {
  ProtocolNodes.reset();  // it points into the old document
  Document = std::make_unique<TXmlDocument>();
  if (!Document->Load(FileName)) {
    const TXmlDocument::TParseError& error = Document->ParseError();
    const int size = std::snprintf(nullptr, 0, LoadErrorFormat, error.Code, error.Reason.c_str(),
                                   error.Line, error.Column);
    std::string text(static_cast<size_t>(std::max(size, 0)) + 1, '\0');
    std::snprintf(text.data(), text.size(), LoadErrorFormat, error.Code, error.Reason.c_str(),
                  error.Line, error.Column);
    text.pop_back();
    if (OnReport) OnReport(text);
  }
  ProtocolNodes = std::make_unique<TXmlNodeList>(Document->Root().SelectNodes(*ProtocolsQuery_));
  CompileDefinitions();
  ReportCost(FileName);
}

void TProtocolRecognition::GetDescription(const std::string& ProtocolName, std::string& Url,
                                          std::string& Description) {
  Url.clear();
  Description = NoDescription;
  if (!Document) return;
  DescriptionQuery_->SetVariable(DescriptionVariable, ProtocolName);
  const TXmlNode found = Document->Root().SelectSingleNode(*DescriptionQuery_);
  if (found.IsNull()) return;
  Description = found.Text();
  Url = found.Attribute("url").value_or("");
}

void TProtocolRecognition::SetDecimalSeparator(const std::string& Separator) {
  DecimalSeparator_ = Separator;
  if (ProtocolNodes) CompileDefinitions();
}

void TProtocolRecognition::Decode(TSample& Sample) {
  ConvertDefinitions();
  if (ReadExactly(Definitions_, Sample)) return;
  MarkUnknown(Sample);
  if (Sample.Pulses.empty()) return;
  // The order of the passes, each for a packet the ones before left unknown: exact (above),
  // tolerant, generic.
  if (SecondPass) {
    TWorkBudget tolerantBudget(MaxMatchesPerPacket);
    if (TolerantPass_->Decode(Definitions_, SampleRate, Tolerance, Sample, tolerantBudget)) return;
  }
  if (GenericPass) GenericPass_->Decode(Sample, SampleRate);
}

double TProtocolRecognition::LongestEndSilenceMillis() const {
  double longest = 0;
  for (const TDefinition& definition : Definitions_)
    longest = std::max(longest, definition.EndSilenceMillis);
  return longest;
}

bool TProtocolRecognition::DecodeJoined(TSample& Sample, double GapMillis) {
  ConvertDefinitions();
  std::vector<TDefinition> patient;
  for (const TDefinition& definition : Definitions_)
    if (definition.EndSilenceMillis >= GapMillis) patient.push_back(definition);
  if (ReadExactly(patient, Sample)) return true;
  MarkUnknown(Sample);
  if (Sample.Pulses.empty() || !SecondPass) return false;
  TWorkBudget tolerantBudget(MaxMatchesPerPacket);
  return TolerantPass_->Decode(patient, SampleRate, Tolerance, Sample, tolerantBudget);
}

bool TProtocolRecognition::MayBeginJoined(const TSample& Sample) {
  ConvertDefinitions();
  if (Sample.Pulses.size() <= TDefinitionWalk::FirstHighRun) return false;
  const uint16_t firstMark = Sample.Pulses[TDefinitionWalk::FirstHighRun];
  bool looked = false;  // the tolerant pass has taken the packet
  for (const TDefinition& definition : Definitions_) {
    if (definition.EndSilenceMillis <= 0) continue;
    if (CanStart(definition, firstMark)) return true;
    if (!SecondPass) continue;
    if (!looked) TolerantPass_->Look(Sample.Pulses, SampleRate);
    looked = true;
    if (TolerantPass_->MayOpen(definition)) return true;
  }
  return false;
}

// Converts the definitions to the sample rate and numbers their patterns' shapes at that rate,
// so that the tolerant pass can share a shape's reading between definitions.
void TProtocolRecognition::ConvertDefinitions() {
  if (DefinitionRate_ == SampleRate) return;
  using TShapeKey = std::tuple<bool, bool, std::vector<float>, std::vector<float>>;
  std::map<TShapeKey, uint32_t> shapes;
  const auto number = [&](const TCompiledPattern& Pattern) {
    const TShapeKey key{Pattern.HighFirst(), Pattern.Usable(), Pattern.Samples(),
                        Pattern.Windows()};
    return shapes.try_emplace(key, static_cast<uint32_t>(shapes.size() + 1)).first->second;
  };
  for (TDefinition& definition : Definitions_) {
    definition.SetRate(SampleRate);
    definition.SetShapes(number);
  }
  DefinitionRate_ = SampleRate;
}

// The exact pass over Definitions, first fit in order.
bool TProtocolRecognition::ReadExactly(const std::vector<TDefinition>& Definitions,
                                       TSample& Sample) {
  uint64_t samples = 0;
  for (uint16_t run : Sample.Pulses) samples += run;
  MostBitMarks_ = static_cast<uint32_t>(std::min<uint64_t>(samples + 1, UINT32_MAX));
  TWorkBudget budget(MaxMatchesPerPacket);
  const uint16_t firstMark = Sample.Pulses.size() > TDefinitionWalk::FirstHighRun
                                 ? Sample.Pulses[TDefinitionWalk::FirstHighRun]
                                 : 0;
  bool found = false;
  for (size_t i = 0; i < Definitions.size() && !Sample.Pulses.empty() && !found; ++i) {
    if (!CanStart(Definitions[i], firstMark)) continue;
    found = TryDefinition(Definitions[i], Sample, budget);
    if (budget.Exhausted()) break;
  }
  CurrentPulses = nullptr;
  return found;
}

bool TProtocolRecognition::MatchTiming(const std::string& Pattern, uint16_t& Position) {
  if (!CurrentPulses) return false;
  const size_t usable = std::min(CurrentPulses->size(), MaxRuns);
  if (Cursor >= usable) return false;
  bool highFirst = false;
  if (!TTimingPattern::Parse(Pattern, DecimalSeparator_, usable - Cursor, highFirst, Durations_)) {
    return false;
  }
  DurationSamples_.resize(Durations_.size());
  for (size_t i = 0; i < Durations_.size(); ++i) {
    DurationSamples_[i] = TCompiledPattern::ToSamples(Durations_[i], SampleRate);
  }
  return MatchSamples(highFirst, DurationSamples_, Position);
}

void TProtocolRecognition::CompileDefinitions() {
  Definitions_.clear();
  DefinitionRate_ = NotConverted;
  const size_t count = ProtocolNodes ? ProtocolNodes->Count() : 0;
  const TDefinition::TQueries queries{*ItemsQuery_, *OneBitQuery_, *ZeroBitQuery_};
  Definitions_.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    Definitions_.push_back(
        TDefinition::Compile(ProtocolNodes->Item(i), queries, DecimalSeparator_));
  }
}

void TProtocolRecognition::ReportCost(const std::string& FileName) const {
  uint64_t matches = 0;
  for (const TDefinition& definition : Definitions_) matches += definition.MostMatches();
  if (matches <= MaxMatchesPerPacket || !OnReport) return;
  OnReport(FileName + ": " + std::to_string(Definitions_.size()) +
           " definitions could take up to " + std::to_string(matches) +
           " timing matches on one packet; decoding stops at " +
           std::to_string(MaxMatchesPerPacket) + " and leaves such a packet unknown.");
}

// Whether the first pattern of Definition (any of its alternatives, or any symbol) can take the
// packet's first mark, FirstMark samples long, as MatchSamples would: a quick test that spares
// the walk of every definition whose lead-in the packet does not have.
bool TProtocolRecognition::CanStart(const TDefinition& Definition, uint16_t FirstMark) const {
  return Definition.AnyFirstPattern([&](const TCompiledPattern& Pattern) {
    if (!Pattern.Usable() || !Pattern.HighFirst()) return false;
    const float window = Pattern.Windows()[0] > Tolerance ? Pattern.Windows()[0] : Tolerance;
    const double low = static_cast<double>(Pattern.Samples()[0]) - window;
    const double high = static_cast<double>(Pattern.Samples()[0]) + window;
    return FirstMark > low && (Pattern.Count() == 1 || FirstMark < high);
  });
}

bool TProtocolRecognition::TryDefinition(const TDefinition& Definition, TSample& Sample,
                                         TWorkBudget& Budget) {
  if (!Budget.Spend()) return false;
  Cursor = TDefinitionWalk::FirstHighRun;
  Remainder = 0;
  CurrentPulses = &Sample.Pulses;
  Walk_ = {&Sample, &Budget, Sample.Pulses[0]};
  Sample.BitMarks().clear();
  Sample.FieldMarks().clear();
  Sample.AddMark(TSample::BitRow, Walk_.Position, TMarkText());
  Sample.AddMark(TSample::FieldRow, Walk_.Position, TMarkText());
  Found_.Fields.clear();
  FieldValues_.clear();
  SymbolBits_.Clear();
  if (!TDefinitionWalk::Read(Definition, *this)) return false;
  Sample.Protocol = std::make_unique<TProtocol>();
  Sample.Protocol->ProtocolName = Definition.Name;
  Sample.Protocol->Fields = Found_.Fields;
  return true;
}

bool TProtocolRecognition::Accepts(const TDefinition::TItem& Item) const {
  return Item.IsDelimiter || Item.Readable;
}

bool TProtocolRecognition::Delimiter(const TDefinition::TItem& Item, bool /*First*/) {
  if (!MatchPattern(Item.Timing, Walk_.Position, *Walk_.Budget)) return false;
  if (!Item.Name) return false;  // a delimiter without a label makes its definition incomplete
  Walk_.Sample->AddMark(TSample::BitRow, Walk_.Position, TMarkText());
  Walk_.Sample->AddMark(TSample::FieldRow, Walk_.Position, Item.Mark);
  return true;
}

std::optional<double> TProtocolRecognition::Pattern(const TCompiledPattern& Pattern, bool Trial) {
  if (!Trial) {  // the distance is asked of trials only
    if (!MatchPattern(Pattern, Walk_.Position, *Walk_.Budget)) return std::nullopt;
    return 0.0;
  }
  const uint16_t cursor = Cursor, remainder = Remainder, position = Walk_.Position;
  Measuring_ = true;
  const bool matched = MatchPattern(Pattern, Walk_.Position, *Walk_.Budget);
  Measuring_ = false;
  if (!matched) return std::nullopt;
  std::tie(Cursor, Remainder, Walk_.Position) = std::tie(cursor, remainder, position);
  return FitDistance_;
}

bool TProtocolRecognition::BitRead(unsigned Bit) {
  if (Walk_.Sample->BitMarks().size() >= MostBitMarks_) return false;
  Walk_.Sample->AddMark(TSample::BitRow, Walk_.Position, TDefinition::BitMark(Bit));
  return true;
}

bool TProtocolRecognition::FieldRead(const TDefinition::TItem& Data, uint64_t Value) {
  if (!Data.Admits(Value, FieldValues_)) return false;
  FieldValues_.push_back(Value);
  Walk_.Sample->AddMark(TSample::FieldRow, Walk_.Position, Data.Mark);
  Found_.AddField(*Data.Name, Value);
  return true;
}

bool TProtocolRecognition::MatchPattern(const TCompiledPattern& Pattern, uint16_t& Position,
                                        TWorkBudget& Budget) {
  if (!Budget.Spend() || !Pattern.Usable() || !CurrentPulses) return false;
  const size_t usable = std::min(CurrentPulses->size(), MaxRuns);
  if (Cursor < usable && Pattern.Count() <= usable - Cursor &&
      MatchSamples(Pattern.HighFirst(), Pattern.Samples(), Position, &Pattern.Windows())) {
    return true;
  }
  for (const TCompiledPattern& alternative : Pattern.Alternatives()) {
    if (MatchPattern(alternative, Position, Budget)) return true;
  }
  return false;
}

// The durations are in samples, at least one of them and no more than the runs left; Windows,
// when given, the entry's own window of each.
bool TProtocolRecognition::MatchSamples(bool HighFirst, const std::vector<float>& Durations,
                                        uint16_t& Position, const std::vector<float>* Windows) {
  const std::vector<uint16_t>& runs = *CurrentPulses;
  if (HighFirst != (Cursor % 2 == 1)) return false;

  const size_t count = Durations.size();
  size_t cursor = Cursor;
  uint16_t remainder = Remainder;
  uint16_t position = Position;
  TSymbolDistance distance;
  float widest = 0;
  for (size_t i = 0; i < count; ++i) {
    const uint16_t length = remainder != 0 ? remainder : runs[cursor];
    const float entry = Windows ? (*Windows)[i] : 0.0f;
    const float window = entry > Tolerance ? entry : Tolerance;
    widest = std::max(widest, window);
    switch (TRunWindow::Classify(length, Durations[i], window)) {
      case TRunWindow::TFit::TooShort:
        return false;
      case TRunWindow::TFit::Fits:
        if (Measuring_) distance.AddRun(length, Durations[i]);
        position += length;
        remainder = 0;
        ++cursor;
        break;
      case TRunWindow::TFit::TooLong:
        if (!TRunWindow::MayTakeFront(i, count)) return false;
        if (Measuring_) distance.AddPart(window);
        // Takes the front of the run; a remainder that rounds to nothing uses the run up.
        remainder = TCompiledPattern::RoundToSamples(length - static_cast<double>(Durations[i]));
        position += TCompiledPattern::RoundToSamples(Durations[i]);
        if (remainder == 0) ++cursor;
        break;
    }
  }
  // A symbol tried against its neighbours also spans its own length: a receiver's mark stretch
  // moves no mark's start, so runs that fit a neighbour only through the stretch are not it.
  if (Measuring_ && Remainder == 0 && !distance.LengthWithin(widest)) return false;
  FitDistance_ = distance.Value();
  Cursor = static_cast<uint16_t>(cursor);
  Remainder = remainder;
  Position = position;
  return true;
}

void TProtocolRecognition::MarkUnknown(TSample& Sample) const {
  Sample.Protocol = std::make_unique<TProtocol>();
  Sample.Protocol->ProtocolName = UnknownProtocol;
  Sample.BitMarks().clear();
  Sample.FieldMarks().clear();
}
