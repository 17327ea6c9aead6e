#include "TDefinition.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "TXmlNode.h"
#include "TXmlNodeList.h"
#include "TXmlQuery.h"

namespace {

constexpr unsigned BitLengthModulus = 256;
constexpr const char* BitMarkPrefix = "bit";
constexpr uint64_t MatchesPerBit = 2;                // the 1 pattern, then the 0 pattern
constexpr const char* ValueSeparators = " ,\t\r\n";  // between the values of exclude="..."

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

// A whole number in decimal or 0x hex that fits 32 bits, with blanks around it.
std::optional<uint32_t> ParseNumber(const std::string& Text) {
  size_t begin = 0, end = Text.size();
  while (begin < end && IsBlankOrControl(Text[begin])) ++begin;
  while (end > begin && IsBlankOrControl(Text[end - 1])) --end;
  unsigned base = 10;
  if (end - begin > 2 && Text[begin] == '0' && (Text[begin + 1] == 'x' || Text[begin + 1] == 'X')) {
    base = 16;
    begin += 2;
  }
  if (begin == end) return std::nullopt;
  uint64_t value = 0;
  for (size_t i = begin; i < end; ++i) {
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(Text[i])));
    const bool decimal = c >= '0' && c <= '9', hex = base == 16 && c >= 'a' && c <= 'f';
    if (!decimal && !hex) return std::nullopt;
    value = value * base + static_cast<unsigned>(decimal ? c - '0' : c - 'a' + 10);
    if (value > UINT32_MAX) return std::nullopt;
  }
  return static_cast<uint32_t>(value);
}

TCompiledPattern CompileBit(const TXmlNode& Bit, const std::string& DecimalSeparator) {
  if (Bit.IsNull()) return {};
  return TCompiledPattern::Compile(Bit.Text(), DecimalSeparator);
}

// A non-negative decimal attribute (blanks around it allowed); 0 when missing or not a number.
double NumberAttribute(const TXmlNode& Node, const char* Name) {
  const std::string text = Node.Attribute(Name).value_or("");
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  while (end && *end && IsBlankOrControl(*end)) ++end;
  if (!end || end == text.c_str() || *end || !std::isfinite(value) || value < 0) return 0;
  return value;
}

constexpr double PercentPerUnit = 100;

// The symbols of a bitset of SymbolBits bits each, highest value first; false when a value is
// missing or a <bit> is not one of them.
bool CompileSymbols(const TXmlNode& Protocol, unsigned SymbolBits,
                    const std::string& DecimalSeparator,
                    std::vector<TDefinition::TSymbol>& Symbols) {
  static const TXmlQuery bitsQuery("bitset/bit");
  const unsigned count = 1u << SymbolBits;
  std::vector<std::optional<TCompiledPattern>> byValue(count);
  const TXmlNodeList bits = Protocol.SelectNodes(bitsQuery);
  for (size_t i = 0; i < bits.Count(); ++i) {
    const std::optional<unsigned> value =
        ParseBitLength(bits.Item(i).Attribute("value").value_or(""));
    if (!value || *value >= count) return false;
    if (!byValue[*value]) byValue[*value] = CompileBit(bits.Item(i), DecimalSeparator);
  }
  for (unsigned value = count; value-- > 0;) {
    if (!byValue[value]) return false;
    Symbols.push_back({value, std::move(*byValue[value])});
  }
  return true;
}

}  // namespace

TDefinition TDefinition::Compile(const TXmlNode& Protocol, const TQueries& Queries,
                                 const std::string& DecimalSeparator) {
  TDefinition definition;
  definition.Name = Protocol.Attribute("name").value_or("");
  const TXmlNode oneBit = Protocol.SelectSingleNode(Queries.OneBit);
  const TXmlNode zeroBit = Protocol.SelectSingleNode(Queries.ZeroBit);
  definition.One = CompileBit(oneBit, DecimalSeparator);
  definition.Zero = CompileBit(zeroBit, DecimalSeparator);
  bool hasBits = !oneBit.IsNull() && !zeroBit.IsNull();
  static const TXmlQuery bitsetQuery("bitset");
  const std::optional<unsigned> symbolBits = ParseBitLength(
      Protocol.SelectSingleNode(bitsetQuery).Attribute(SymbolBitsAttribute).value_or("1"));
  if (!symbolBits || *symbolBits == 0 || *symbolBits > MaxSymbolBits) {
    hasBits = false;
  } else if (*symbolBits == 1) {
    definition.Symbols = {{1, definition.One}, {0, definition.Zero}};
  } else {
    definition.SymbolBits = *symbolBits;
    hasBits = CompileSymbols(Protocol, *symbolBits, DecimalSeparator, definition.Symbols);
  }
  const std::optional<uint32_t> carrier =
      ParseNumber(Protocol.Attribute(CarrierAttribute).value_or(""));
  definition.CarrierHz = carrier && *carrier <= MaxCarrierHz ? *carrier : 0;
  definition.ToleranceMicros = NumberAttribute(Protocol, ToleranceAttribute);
  definition.RelativeTolerance =
      NumberAttribute(Protocol, RelativeToleranceAttribute) / PercentPerUnit;
  definition.EndSilenceMillis = NumberAttribute(Protocol, EndSilenceAttribute);

  const TXmlNodeList items = Protocol.SelectNodes(Queries.Items);
  definition.Items.reserve(items.Count());
  std::vector<std::string> fieldNames;  // of the data fields so far, in order
  for (size_t i = 0; i < items.Count(); ++i) {
    const TXmlNode node = items.Item(i);
    TItem item;
    item.Name = node.Attribute("name");
    if (item.Name) item.Mark = TMarkText(*item.Name);
    item.IsDelimiter = node.Name() == DelimiterElement;
    if (item.IsDelimiter) {
      item.Timing = TCompiledPattern::Compile(node.Text(), DecimalSeparator);
    } else {
      const std::optional<std::string> bitOrder = node.Attribute("bitorder");
      const std::optional<unsigned> length = ParseBitLength(node.Attribute("length").value_or(""));
      item.Readable = item.Name && bitOrder && length && hasBits;
      item.Length = length.value_or(0);
      item.LeastSignificantFirst = bitOrder && *bitOrder == LeastSignificantFirst;
      item.Plausible = ParseRange(node.Attribute(PlausibleAttribute).value_or(""));
      item.Excluded = ParseValues(node.Attribute(ExcludeAttribute).value_or(""));
      if (const auto complemented = node.Attribute(ComplementOfAttribute)) {
        const auto earlier = std::find(fieldNames.begin(), fieldNames.end(), *complemented);
        if (earlier == fieldNames.end()) item.Readable = false;
        item.ComplementOf = static_cast<size_t>(earlier - fieldNames.begin());
      }
      fieldNames.push_back(item.Name.value_or(""));
    }
    definition.Items.push_back(std::move(item));
  }
  const auto widen = [&definition](TCompiledPattern& Pattern) {
    Pattern.SetTolerance(definition.ToleranceMicros, definition.RelativeTolerance);
  };
  widen(definition.One);
  widen(definition.Zero);
  for (TSymbol& symbol : definition.Symbols) widen(symbol.Timing);
  for (TItem& item : definition.Items) widen(item.Timing);
  return definition;
}

std::optional<TDefinition::TRange> TDefinition::ParseRange(const std::string& Text) {
  const size_t dash = Text.find('-');
  if (dash == std::string::npos) return std::nullopt;
  const std::optional<uint64_t> low = ParseNumber(Text.substr(0, dash));
  const std::optional<uint64_t> high = ParseNumber(Text.substr(dash + 1));
  if (!low || !high || *low > *high) return std::nullopt;
  return TRange{*low, *high};
}

std::vector<uint64_t> TDefinition::ParseValues(const std::string& Text) {
  std::vector<uint64_t> values;
  size_t begin = 0;
  while (begin < Text.size()) {
    size_t end = Text.find_first_of(ValueSeparators, begin);
    if (end == std::string::npos) end = Text.size();
    if (end > begin) {
      const std::optional<uint32_t> value = ParseNumber(Text.substr(begin, end - begin));
      if (!value) return {};
      values.push_back(*value);
    }
    begin = end + 1;
  }
  return values;
}

bool TDefinition::TItem::Admits(uint64_t Value, const std::vector<uint64_t>& Values) const {
  return !Excludes(Value) && Complements(Value, Values);
}

bool TDefinition::TItem::Excludes(uint64_t Value) const {
  return std::find(Excluded.begin(), Excluded.end(), Value) != Excluded.end();
}

bool TDefinition::TItem::Complements(uint64_t Value, const std::vector<uint64_t>& Values) const {
  if (!ComplementOf) return true;
  if (*ComplementOf >= Values.size()) return false;
  const uint64_t mask = Length >= 64 ? ~uint64_t{0} : (uint64_t{1} << Length) - 1;
  return (Value & mask) == (~Values[*ComplementOf] & mask);
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

TMarkText TDefinition::BitMark(unsigned Bit) {
  static const std::vector<TMarkText> marks = [] {
    std::vector<TMarkText> made;
    for (unsigned i = 0; i < BitLengthModulus; ++i) made.emplace_back(BitMarkText(i));
    return made;
  }();
  return marks[Bit % BitLengthModulus];
}

void TDefinition::SetRate(uint16_t Rate) {
  One.SetRate(Rate);
  Zero.SetRate(Rate);
  for (TSymbol& symbol : Symbols) symbol.Timing.SetRate(Rate);
  for (TItem& item : Items) item.Timing.SetRate(Rate);
}

uint64_t TDefinition::MostMatches() const {
  uint64_t matches = 1;  // the try itself
  const uint64_t perSymbol = std::max<uint64_t>(MatchesPerBit, Symbols.size());
  for (const TItem& item : Items) {
    matches += item.IsDelimiter ? 1 + item.Timing.Alternatives().size()
                                : perSymbol * ((item.Length + SymbolBits - 1) / SymbolBits);
  }
  return matches;
}

bool TDefinition::Complete() const {
  const bool symbolsValid = std::all_of(
      Symbols.begin(), Symbols.end(), [](const TSymbol& Symbol) { return Symbol.Timing.Valid(); });
  return std::all_of(Items.begin(), Items.end(), [symbolsValid](const TItem& Item) {
    if (!Item.Name) return false;
    return Item.IsDelimiter ? Item.Timing.Valid() : Item.Readable && symbolsValid;
  });
}
