#include "TCodeLibrary.h"

#include <charconv>
#include <optional>

#include "TDefinition.h"
#include "TProtocolRecognition.h"
#include "TXmlNode.h"
#include "TXmlNodeList.h"
#include "TXmlQuery.h"

namespace {
constexpr unsigned MaxFieldBits = 32;

// A whole decimal number with optional blanks around it, or nothing.
std::optional<uint32_t> ParseNumber(const std::string& Text) {
  const size_t begin = Text.find_first_not_of(" \t\r\n");
  const size_t end = Text.find_last_not_of(" \t\r\n");
  if (begin == std::string::npos) return std::nullopt;
  uint32_t value = 0;
  const char* last = Text.data() + end + 1;
  const auto [stop, error] = std::from_chars(Text.data() + begin, last, value);
  if (error != std::errc() || stop != last) return std::nullopt;
  return value;
}
}  // namespace

TCodeLibrary::TCodeLibrary(const TProtocolRecognition& Recognition) {
  if (!Recognition.ProtocolNodes) return;
  const TXmlQuery items(TDefinition::ItemsExpression), oneBit(TDefinition::OneBitExpression),
      zeroBit(TDefinition::ZeroBitExpression), bitset("bitset"), bits("bitset/bit");
  for (size_t i = 0; i < Recognition.ProtocolNodes->Count(); ++i) {
    const TXmlNode protocol = Recognition.ProtocolNodes->Item(i);
    TFrameDefinition definition;
    definition.Name = protocol.Attribute("name").value_or("");
    const std::optional<uint32_t> carrier = ParseNumber(protocol.Attribute("carrier").value_or(""));
    definition.CarrierHz = carrier && *carrier > 0 && *carrier <= MaxCarrierHz ? *carrier : 0;
    definition.OneBit = protocol.SelectSingleNode(oneBit).Text();
    definition.ZeroBit = protocol.SelectSingleNode(zeroBit).Text();
    const std::optional<uint32_t> symbolBits =
        ParseNumber(protocol.SelectSingleNode(bitset)
                        .Attribute(TDefinition::SymbolBitsAttribute)
                        .value_or("1"));
    if (!symbolBits || *symbolBits < 1 || *symbolBits > TDefinition::MaxSymbolBits) continue;
    if (*symbolBits > 1) {
      definition.SymbolBits = *symbolBits;
      definition.Symbols.resize(size_t{1} << *symbolBits);
      const TXmlNodeList symbols = protocol.SelectNodes(bits);
      for (size_t s = 0; s < symbols.Count(); ++s) {
        const std::optional<uint32_t> value =
            ParseNumber(symbols.Item(s).Attribute("value").value_or(""));
        if (value && *value < definition.Symbols.size() && definition.Symbols[*value].empty())
          definition.Symbols[*value] = symbols.Item(s).Text();
      }
    }
    const TXmlNodeList nodes = protocol.SelectNodes(items);
    bool usable = true;
    for (size_t n = 0; n < nodes.Count(); ++n) {
      const TXmlNode node = nodes.Item(n);
      TFrameItem item;
      item.Name = node.Attribute("name").value_or("");
      item.Delimiter = node.Name() == TDefinition::DelimiterElement;
      if (item.Delimiter) {
        item.Pattern = node.Text();
      } else {
        const std::optional<uint32_t> length = ParseNumber(node.Attribute("length").value_or(""));
        usable = usable && length && *length <= MaxFieldBits;
        item.Length = length.value_or(0);
        item.LsbFirst =
            node.Attribute("bitorder").value_or("") == TDefinition::LeastSignificantFirst;
      }
      definition.Items.push_back(std::move(item));
    }
    if (usable) Items.push_back(std::move(definition));
  }
}

const TFrameDefinition* TCodeLibrary::Find(const std::string& Name) const {
  for (const TFrameDefinition& definition : Items)
    if (definition.Name == Name) return &definition;
  return nullptr;
}

uint32_t TCodeLibrary::CarrierHz(const std::string& Name) const {
  const TFrameDefinition* definition = Find(Name);
  return definition && definition->CarrierHz ? definition->CarrierHz : DefaultCarrierHz;
}
