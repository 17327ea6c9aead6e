#include "TDefinition.h"

#include <charconv>

#include "TXmlNode.h"
#include "TXmlNodeList.h"

namespace {

constexpr unsigned BitLengthModulus = 256;
constexpr const char* BitMarkPrefix = "bit";
constexpr uint64_t MatchesPerBit = 2;  // the 1 pattern, then the 0 pattern

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

// A tolerance attribute: a positive number of microseconds, at most MaxToleranceMicros; 0 for
// anything else.
double ParseTolerance(const std::string& Text) {
  constexpr double MaxToleranceMicros = 1000;
  double micros = 0;
  const auto [end, error] = std::from_chars(Text.data(), Text.data() + Text.size(), micros);
  if (error != std::errc() || end != Text.data() + Text.size()) return 0;
  return micros > 0 && micros <= MaxToleranceMicros ? micros : 0;
}

TCompiledPattern CompileBit(const TXmlNode& Bit, const std::string& DecimalSeparator) {
  if (Bit.IsNull()) return {};
  return TCompiledPattern::Compile(Bit.Text(), DecimalSeparator);
}

}  // namespace

TDefinition TDefinition::Compile(const TXmlNode& Protocol, const TQueries& Queries,
                                 const std::string& DecimalSeparator) {
  TDefinition definition;
  definition.Name = Protocol.Attribute("name").value_or("");
  definition.ToleranceMicros = ParseTolerance(Protocol.Attribute(ToleranceAttribute).value_or(""));
  const TXmlNode oneBit = Protocol.SelectSingleNode(Queries.OneBit);
  const TXmlNode zeroBit = Protocol.SelectSingleNode(Queries.ZeroBit);
  definition.One = CompileBit(oneBit, DecimalSeparator);
  definition.Zero = CompileBit(zeroBit, DecimalSeparator);
  const bool hasBits = !oneBit.IsNull() && !zeroBit.IsNull();

  const TXmlNodeList items = Protocol.SelectNodes(Queries.Items);
  definition.Items.reserve(items.Count());
  for (size_t i = 0; i < items.Count(); ++i) {
    const TXmlNode node = items.Item(i);
    TItem item;
    item.Name = node.Attribute("name");
    item.IsDelimiter = node.Name() == DelimiterElement;
    if (item.IsDelimiter) {
      item.Timing = TCompiledPattern::Compile(node.Text(), DecimalSeparator);
    } else {
      const std::optional<std::string> bitOrder = node.Attribute("bitorder");
      const std::optional<unsigned> length = ParseBitLength(node.Attribute("length").value_or(""));
      item.Readable = item.Name && bitOrder && length && hasBits;
      item.Length = length.value_or(0);
      item.LeastSignificantFirst = bitOrder && *bitOrder == LeastSignificantFirst;
    }
    definition.Items.push_back(std::move(item));
  }
  return definition;
}

const std::string& TDefinition::BitMarkText(unsigned Bit) {
  static const std::vector<std::string> texts = [] {
    std::vector<std::string> made;
    for (unsigned i = 0; i < BitLengthModulus; ++i)
      made.push_back(BitMarkPrefix + std::to_string(i));
    return made;
  }();
  return texts[Bit % BitLengthModulus];
}

void TDefinition::SetRate(uint16_t Rate) {
  ToleranceSamples = static_cast<float>(ToleranceMicros * Rate / 1e6);
  One.SetRate(Rate);
  Zero.SetRate(Rate);
  for (TItem& item : Items) item.Timing.SetRate(Rate);
}

uint64_t TDefinition::MostMatches() const {
  uint64_t matches = 1;  // the try itself
  for (const TItem& item : Items) matches += item.IsDelimiter ? 1 : MatchesPerBit * item.Length;
  return matches;
}
