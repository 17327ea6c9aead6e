#include "U_protocolRecognition.h"

#include <algorithm>
#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <optional>

#include "TTimingPattern.h"
#include "TXmlDocument.h"
#include "TXmlNode.h"
#include "TXmlNodeList.h"
#include "TXmlQuery.h"

namespace {

constexpr const char* ProtocolsExpression = "protocols/protocol[@name]";
constexpr const char* ItemsExpression = "packet/data[@length] | packet/delimiter";
constexpr const char* OneBitExpression = "bitset/bit[@value=1]";
constexpr const char* ZeroBitExpression = "bitset/bit[@value=0]";
constexpr const char* DescriptionExpression = "protocols/protocol[@name=$name]/description";
constexpr const char* DescriptionVariable = "name";

constexpr const char* LoadErrorFormat =
    "Error loading XML document.\rError number: %d\rReason: %s\rLine: %d\rColumn: %d";
constexpr const char* NoDescription = "No description available";
constexpr const char* UnknownProtocol = TProtocol::UnknownName;
constexpr const char* DelimiterElement = "delimiter";
constexpr const char* LeastSignificantFirst = "LSB";
constexpr const char* BitMarkPrefix = "bit";

constexpr long double SecondsPerMicrosecond = 1e-6L;
constexpr uint16_t FirstHighRun = 1;  // Pulses[0] is the leading low run, never matched
constexpr size_t MaxRuns = 65535;     // runs a 16-bit Cursor can walk through
constexpr unsigned BitLengthModulus = 256;
constexpr unsigned AccumulatorBits = 32;
constexpr uint32_t FieldValueMask = 0xFFFF;

std::string LocaleDecimalSeparator() {
  const std::lconv* conventions = std::localeconv();
  if (!conventions || !conventions->decimal_point || !*conventions->decimal_point) return ".";
  return conventions->decimal_point;
}

bool IsBlankOrControl(char C) {
  const auto code = static_cast<unsigned char>(C);
  return code <= 0x20 || code == 0x7F;
}

// A data field's length: decimal digits with optional blanks around them, taken modulo 256 so
// that any number of digits is safe. Nothing when the text is not such a number.
std::optional<unsigned> ParseBitLength(const std::string& Text) {
  size_t begin = 0, end = Text.size();
  while (begin < end && IsBlankOrControl(Text[begin])) ++begin;
  while (end > begin && IsBlankOrControl(Text[end - 1])) --end;
  if (begin == end) return std::nullopt;
  unsigned length = 0;
  for (size_t i = begin; i < end; ++i) {
    if (Text[i] < '0' || Text[i] > '9') return std::nullopt;
    length = (length * 10 + static_cast<unsigned>(Text[i] - '0')) % BitLengthModulus;
  }
  return length;
}

uint16_t RoundToSamples(double Value) {
  return static_cast<uint16_t>(std::clamp(std::rint(Value), 0.0, static_cast<double>(UINT16_MAX)));
}

}  // namespace

TProtocolRecognition::TProtocolRecognition()
    : ProtocolsQuery_(std::make_unique<TXmlQuery>(ProtocolsExpression)),
      ItemsQuery_(std::make_unique<TXmlQuery>(ItemsExpression)),
      OneBitQuery_(std::make_unique<TXmlQuery>(OneBitExpression)),
      ZeroBitQuery_(std::make_unique<TXmlQuery>(ZeroBitExpression)),
      DescriptionQuery_(std::make_unique<TXmlQuery>(DescriptionExpression,
                                                    std::vector<std::string>{DescriptionVariable})),
      DecimalSeparator_(LocaleDecimalSeparator()) {}

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

void TProtocolRecognition::Decode(TSample& Sample) {
  const size_t count = ProtocolNodes ? ProtocolNodes->Count() : 0;
  for (size_t i = 0; i < count && !Sample.Pulses.empty(); ++i) {
    if (TryProtocol(ProtocolNodes->Item(i), Sample)) {
      CurrentPulses = nullptr;
      return;
    }
  }
  CurrentPulses = nullptr;
  MarkUnknown(Sample);
}

bool TProtocolRecognition::MatchTiming(const std::string& Pattern, uint16_t& Position) {
  if (!CurrentPulses) return false;
  const std::vector<uint16_t>& runs = *CurrentPulses;
  const size_t usable = std::min(runs.size(), MaxRuns);
  if (Cursor >= usable) return false;
  bool highFirst = false;
  if (!TTimingPattern::Parse(Pattern, DecimalSeparator_, usable - Cursor, highFirst, Durations_)) {
    return false;
  }
  if (highFirst != (Cursor % 2 == 1)) return false;

  const size_t count = Durations_.size();
  size_t cursor = Cursor;
  uint16_t remainder = Remainder;
  uint16_t position = Position;
  // Takes the front of the run at cursor; a remainder that rounds to nothing uses the run up.
  const auto takeFront = [&](uint16_t Length, float Duration) {
    remainder = RoundToSamples(Length - static_cast<double>(Duration));
    position += RoundToSamples(Duration);
    if (remainder == 0) ++cursor;
  };

  const float first = ToSamples(Durations_[0]);
  const uint16_t firstLength = remainder != 0 ? remainder : runs[cursor];
  switch (Classify(firstLength, first)) {
    case TFit::TooShort:
      return false;
    case TFit::Fits:
      position += firstLength;
      remainder = 0;
      ++cursor;
      break;
    case TFit::TooLong:
      if (count > 1) return false;
      takeFront(firstLength, first);
      break;
  }
  for (size_t i = 1; i + 1 < count; ++i) {
    if (Classify(runs[cursor], ToSamples(Durations_[i])) != TFit::Fits) return false;
    position += runs[cursor];
    ++cursor;
  }
  if (count >= 2) {
    const float last = ToSamples(Durations_[count - 1]);
    switch (Classify(runs[cursor], last)) {
      case TFit::TooShort:
        return false;
      case TFit::Fits:
        position += runs[cursor];
        ++cursor;
        break;
      case TFit::TooLong:
        takeFront(runs[cursor], last);
        break;
    }
  }
  Cursor = static_cast<uint16_t>(cursor);
  Remainder = remainder;
  Position = position;
  return true;
}

bool TProtocolRecognition::TryProtocol(const TXmlNode& Protocol, TSample& Sample) {
  const TXmlNodeList items = Protocol.SelectNodes(*ItemsQuery_);
  Cursor = FirstHighRun;
  Remainder = 0;
  CurrentPulses = &Sample.Pulses;
  uint16_t position = Sample.Pulses[0];
  Sample.BitMarks().clear();
  Sample.FieldMarks().clear();
  Sample.AddMark(TSample::BitRow, position, "");
  Sample.AddMark(TSample::FieldRow, position, "");
  Sample.Protocol = std::make_unique<TProtocol>();
  for (size_t i = 0; i < items.Count(); ++i) {
    const TXmlNode item = items.Item(i);
    const bool matched = item.Name() == DelimiterElement
                             ? MatchDelimiter(item, Sample, position)
                             : MatchData(Protocol, item, Sample, position);
    if (!matched) return false;
  }
  Sample.Protocol->ProtocolName = Protocol.Attribute("name").value_or("");
  return true;
}

bool TProtocolRecognition::MatchDelimiter(const TXmlNode& Delimiter, TSample& Sample,
                                          uint16_t& Position) {
  if (!MatchTiming(Delimiter.Text(), Position)) return false;
  const std::optional<std::string> name = Delimiter.Attribute("name");
  if (!name) return false;  // a delimiter without a label makes its definition incomplete
  Sample.AddMark(TSample::BitRow, Position, "");
  Sample.AddMark(TSample::FieldRow, Position, *name);
  return true;
}

bool TProtocolRecognition::MatchData(const TXmlNode& Protocol, const TXmlNode& Data,
                                     TSample& Sample, uint16_t& Position) {
  const std::optional<std::string> name = Data.Attribute("name");
  const std::optional<std::string> bitOrder = Data.Attribute("bitorder");
  const std::optional<unsigned> length = ParseBitLength(Data.Attribute("length").value_or(""));
  const TXmlNode oneBit = Protocol.SelectSingleNode(*OneBitQuery_);
  const TXmlNode zeroBit = Protocol.SelectSingleNode(*ZeroBitQuery_);
  if (!name || !bitOrder || !length || oneBit.IsNull() || zeroBit.IsNull()) return false;

  const std::string one = oneBit.Text();
  const std::string zero = zeroBit.Text();
  const bool leastSignificantFirst = *bitOrder == LeastSignificantFirst;
  uint32_t accumulator = 0;
  for (unsigned i = 0; i < *length; ++i) {
    const unsigned bit = leastSignificantFirst ? i : *length - 1 - i;
    if (MatchTiming(one, Position)) {
      accumulator |= uint32_t{1} << (bit % AccumulatorBits);
    } else if (!MatchTiming(zero, Position)) {
      return false;
    }
    Sample.AddMark(TSample::BitRow, Position, BitMarkPrefix + std::to_string(bit));
  }
  Sample.AddMark(TSample::FieldRow, Position, *name);
  Sample.Protocol->AddField(*name, static_cast<uint16_t>(accumulator & FieldValueMask));
  return true;
}

void TProtocolRecognition::MarkUnknown(TSample& Sample) const {
  Sample.Protocol = std::make_unique<TProtocol>();
  Sample.Protocol->ProtocolName = UnknownProtocol;
  Sample.BitMarks().clear();
  Sample.FieldMarks().clear();
}

// Both ends of the window are exclusive; a NaN anywhere fits nothing. t +- Tolerance is exact in
// double precision wherever a run can reach it, so the comparisons are those of exact numbers.
TProtocolRecognition::TFit TProtocolRecognition::Classify(double Length, float Duration) const {
  const double low = static_cast<double>(Duration) - Tolerance;
  const double high = static_cast<double>(Duration) + Tolerance;
  if (Length <= low) return TFit::TooShort;
  if (Length < high) return TFit::Fits;
  if (Length >= high) return TFit::TooLong;
  return TFit::TooShort;
}

// t = d x 10^-6 x SampleRate, multiplied left to right in extended precision (the x87 format with
// its 64-bit mantissa on x86) and rounded once to a single. For durations with up to a dozen
// decimals this is the single nearest to the exact product, whatever the intermediate precision;
// only values within a hair of halfway between two singles depend on it. A duration beyond a
// single's range becomes infinite and then fits nothing.
float TProtocolRecognition::ToSamples(long double Microseconds) const {
  const long double samples = Microseconds * SecondsPerMicrosecond * SampleRate;
  if (!(samples <= FLT_MAX)) return INFINITY;
  return static_cast<float>(samples);
}
