#include <gtest/gtest.h>

#include <pugixml.hpp>
#include <string>
#include <vector>

#include "DecodeRig.h"
#include "LibraryPath.h"
#include "ProtocolFacts.h"

namespace {
const std::vector<std::string> ExpectedNames{"NEC42",
                                             "Apple",
                                             "NEC",
                                             "NEC42 repeat",
                                             "NEC repeat",
                                             "LG28",
                                             "Pioneer",
                                             "Kathrein",
                                             "JVC",
                                             "Kathrein repeat",
                                             "Samsung36",
                                             "Samsung32",
                                             "Samsung20",
                                             "Sony20",
                                             "Sony15",
                                             "Sony12",
                                             "RC5X",
                                             "RC5",
                                             "MCE",
                                             "RC6-6-20",
                                             "RC6-0-16 T0",
                                             "RC6-0-16 T1",
                                             "Panasonic",
                                             "Denon-K",
                                             "JVC-48",
                                             "Mitsubishi-K",
                                             "Fujitsu",
                                             "Kaseikyo",
                                             "Matsushita",
                                             "RCA",
                                             "Sharp",
                                             "Sharp (2nd frame)",
                                             "Denon",
                                             "Denon (2nd frame)",
                                             "Mitsubishi",
                                             "Thomson",
                                             "Bose",
                                             "Dish Network",
                                             "Velleman",
                                             "RECS80",
                                             "NRC17",
                                             "Grundig",
                                             "JVC (no lead-in)"};

pugi::xml_document LoadShipped() {
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_file(ShippedLibrary().c_str()));
  return doc;
}
}  // namespace

TEST(ShippedLibrary, LoadsWithoutAMessage) {
  TDecodeRig rig(ShippedLibrary());
  EXPECT_TRUE(rig.Reports.empty()) << rig.Reports.front();
}

TEST(ShippedLibrary, HoldsItsProtocolsInOrder) {
  pugi::xml_document doc = LoadShipped();
  std::vector<std::string> names;
  for (pugi::xpath_node p : doc.select_nodes("protocols/protocol[@name]"))
    names.push_back(p.node().attribute("name").value());
  EXPECT_EQ(names, ExpectedNames);
  ASSERT_EQ(ProtocolCatalogue().size(), ExpectedNames.size());
  for (size_t i = 0; i < ExpectedNames.size(); ++i)
    EXPECT_EQ(ProtocolCatalogue()[i].Entry, ExpectedNames[i]);
}

// Every protocol has a description and a link, two bit patterns when it has data, named
// items, and ends on a delimiter that needs the packet's closing silence.
TEST(ShippedLibrary, EveryProtocolIsCompleteAndEndsOnTheClosingSilence) {
  pugi::xml_document doc = LoadShipped();
  TDecodeRig rig(ShippedLibrary());
  for (pugi::xpath_node p : doc.select_nodes("protocols/protocol[@name]")) {
    const pugi::xml_node protocol = p.node();
    const std::string name = protocol.attribute("name").value();
    SCOPED_TRACE(name);
    std::string url, description;
    rig.Recognition.GetDescription(name, url, description);
    EXPECT_EQ(url.rfind("https://", 0), 0u);
    EXPECT_GT(description.size(), 100u);
    pugi::xpath_node_set items = protocol.select_nodes("packet/data[@length] | packet/delimiter");
    items.sort();
    ASSERT_FALSE(items.empty());
    bool hasData = false;
    for (pugi::xpath_node item : items) {
      EXPECT_FALSE(std::string(item.node().attribute("name").value()).empty());
      if (std::string(item.node().name()) == "data") {
        hasData = true;
        const std::string order = item.node().attribute("bitorder").value();
        EXPECT_TRUE(order == "LSB" || order == "MSB") << order;
      }
    }
    if (hasData) {
      EXPECT_FALSE(protocol.select_nodes("bitset/bit[@value=1]").empty());
      EXPECT_FALSE(protocol.select_nodes("bitset/bit[@value=0]").empty());
    }
    const pugi::xml_node last = items[items.size() - 1].node();
    const std::string end = last.text().get();
    EXPECT_STREQ(last.name(), "delimiter");
    ASSERT_FALSE(end.empty());
    EXPECT_EQ(end[0], '_');
    EXPECT_EQ(end.find_first_of("#_", 1), std::string::npos) << end;
    // At least 3 ms, and short enough to fit the 5 ms that close every packet after a last
    // bi-phase half-bit space of 889 us.
    const double us = std::stod(end.substr(1));
    EXPECT_GE(us, 3000);
    EXPECT_LE(us, 4100);
  }
}
