// LoadProtocols and GetDescription: real files on disk, the load error message, descriptions,
// and hostile files that must end in the one message or an "unknown" result.

#include <sys/stat.h>

#include <random>

#include "RecognitionFixture.h"
#include "TWatchdog.h"

namespace {

const std::string Nec =
    R"(<protocol name="NEC"><bitset><bit value="1">#560_1690</bit><bit value="0">#560_560</bit>)"
    R"(</bitset><packet><delimiter name="lead">#9000_4500</delimiter>)"
    R"(<data name="a" length="2" bitorder="LSB"/></packet></protocol>)";
const std::vector<uint16_t> NecPacket{100, 432, 216, 27, 81, 27, 27, 27, 300};

class ProtocolFileTest : public RecognitionFixture {
 protected:
  std::string Description(const std::string& Name) {
    std::string url = "stale", description = "stale";
    Engine.GetDescription(Name, url, description);
    return description + "|" + url;
  }
  // The file must be reported once with Message and leave an empty library.
  void ExpectLoadError(const std::string& FileName, const std::string& Message) {
    Reports.clear();
    Engine.LoadProtocols(FileName);
    ASSERT_EQ(Reports.size(), 1u);
    EXPECT_EQ(Reports[0], Message);
    EXPECT_EQ(Engine.ProtocolNodes->Count(), 0u);
    EXPECT_EQ(NameOf(Decoded(NecPacket)), "unknown");
    EXPECT_EQ(Description("NEC"), "No description available|");
  }
};

TEST_F(ProtocolFileTest, WellFormedFileLoadsWithoutMessage) {
  LoadLibrary(Nec + R"(<protocol/><protocol name="x"/>)");
  EXPECT_TRUE(Reports.empty());
  EXPECT_EQ(Engine.ProtocolNodes->Count(), 2u);
  EXPECT_EQ(NameOf(Decoded(NecPacket)), "NEC");
  EXPECT_EQ(DataOf(Decoded(NecPacket)), "a=1; ");
}

TEST_F(ProtocolFileTest, OtherRootFindsNoProtocol) {
  Engine.LoadProtocols(WriteFile("<Protocols>" + Nec + "</Protocols>"));
  EXPECT_TRUE(Reports.empty());
  EXPECT_EQ(NameOf(Decoded(NecPacket)), "unknown");
}

TEST_F(ProtocolFileTest, MalformedFileIsReportedWithLineAndColumn) {
  ExpectLoadError(WriteFile("<protocols>\n  <protocol name=\"a\">\n</protocols>\n"),
                  "Error loading XML document.\rError number: -14\rReason: Start-end tags "
                  "mismatch\rLine: 3\rColumn: 3");
  ExpectLoadError(WriteFile("<protocols>\n<protocol name=\"a>\n"),
                  "Error loading XML document.\rError number: -12\rReason: Error parsing "
                  "element attribute\rLine: 2\rColumn: 17");
  ExpectLoadError(WriteFile(""),
                  "Error loading XML document.\rError number: -16\rReason: No "
                  "document element found\rLine: 1\rColumn: 1");
}

TEST_F(ProtocolFileTest, MissingOrUnreadableFileIsReported) {
  const std::string missing =
      (std::filesystem::temp_directory_path() / "vorlent_no_such_dir" / "protocols.xml").string();
  ExpectLoadError(missing,
                  "Error loading XML document.\rError number: -1\rReason: File was not "
                  "found\rLine: 0\rColumn: 0");
}

// A folder, a device or a pipe nobody writes to is refused at once, named in the message.
TEST_F(ProtocolFileTest, OnlyARegularFileIsRead) {
  const std::string folder = std::filesystem::temp_directory_path().string();
  const std::string pipe = WriteFile("") + ".fifo";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  TWatchdog watchdog(10);
  for (const auto& [name, kind] :
       {std::pair{folder, "a folder"}, {"/dev/zero", "a device"}, {pipe, "a pipe (FIFO)"}}) {
    ExpectLoadError(name, "Error loading XML document.\rError number: -2\rReason: " + name +
                              ": not a regular file but " + kind + "\rLine: 0\rColumn: 0");
  }
  std::filesystem::remove(pipe);
}

TEST_F(ProtocolFileTest, FailedReloadLeavesAnEmptyLibrary) {
  LoadLibrary(Nec);
  EXPECT_EQ(NameOf(Decoded(NecPacket)), "NEC");
  Engine.OnReport = nullptr;  // nobody listening is fine too
  Engine.LoadProtocols(WriteFile("<protocols>"));
  EXPECT_EQ(NameOf(Decoded(NecPacket)), "unknown");
}

TEST_F(ProtocolFileTest, DescriptionOfTheFirstProtocolWithThatName) {
  LoadLibrary(R"(<protocol name="dup"/>)"
              R"(<protocol name="dup"><description url="http://b">second
line two</description></protocol>)"
              R"(<protocol name="dup"><description url="http://c">third</description></protocol>)"
              R"(<protocol name="nolink"><description>plain</description></protocol>)"
              R"(<protocol name="unknown"><description>Nothing matched.</description></protocol>)"
              R"(<protocol name="a&quot;b"><description>quoted</description></protocol>)"
              R"(<protocol name="a'b"><description>apostrophe</description></protocol>)"
              R"(<protocol><description>nameless</description></protocol>)");
  EXPECT_EQ(Description("dup"), "second\nline two|http://b");
  EXPECT_EQ(Description("nolink"), "plain|");
  EXPECT_EQ(Description("unknown"), "Nothing matched.|");
  EXPECT_EQ(Description("a\"b"), "quoted|");
  EXPECT_EQ(Description("a'b"), "apostrophe|");
  EXPECT_EQ(Description("\"]|//description|x[\""), "No description available|");
  EXPECT_EQ(Description("missing"), "No description available|");
  EXPECT_EQ(Description(""), "No description available|");
}

TEST_F(ProtocolFileTest, DescriptionBeforeAnyLoad) {
  EXPECT_EQ(Description("NEC"), "No description available|");
}

TEST_F(ProtocolFileTest, BinaryGarbageIsReported) {
  std::mt19937 random(7);
  std::string garbage(4096, '\0');
  for (char& c : garbage) c = static_cast<char>(random() & 0xFF);
  garbage[0] = '\x01';  // no byte-order mark
  Engine.LoadProtocols(WriteFile(garbage));
  ASSERT_EQ(Reports.size(), 1u);
  // The parser reads to the end (line 26, column 73) without meeting an element.
  EXPECT_EQ(Reports[0],
            "Error loading XML document.\rError number: -16\rReason: No document "
            "element found\rLine: 26\rColumn: 73");
  EXPECT_EQ(NameOf(Decoded(NecPacket)), "unknown");
}

TEST_F(ProtocolFileTest, TruncatedLargeFileIsReportedAtItsEnd) {
  std::string text = "<protocols>\n";
  while (text.size() < 10'000'000) text += "<protocol name=\"p\"><packet/></protocol>\n";
  const size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
  text += "<protocol name=\"cut";
  Engine.LoadProtocols(WriteFile(text));
  ASSERT_EQ(Reports.size(), 1u);
  EXPECT_EQ(Reports[0],
            "Error loading XML document.\rError number: -12\rReason: Error parsing "
            "element attribute\rLine: " +
                std::to_string(lines + 1) + "\rColumn: 17");
}

// A 10 MB pattern is refused as a pattern and a 10 MB description comes back whole.
TEST_F(ProtocolFileTest, HugeTextsDoNoHarm) {
  std::string pattern = "#";
  while (pattern.size() < 10'000'000) pattern += "560_560_";
  const std::string description(10'000'000, 'd');
  LoadLibrary(R"(<protocol name="huge"><packet><delimiter name="d">)" + pattern +
              "</delimiter></packet><description>" + description + "</description></protocol>" +
              Nec);
  EXPECT_EQ(NameOf(Decoded(NecPacket)), "NEC");
  std::string url, text;
  Engine.GetDescription("huge", url, text);
  EXPECT_EQ(text.size(), description.size());
}

TEST_F(ProtocolFileTest, DeepNestingIsWalkedWithoutRecursion) {
  constexpr int Depth = 100'000;
  std::string open, close;
  for (int i = 0; i < Depth; ++i) {
    open += "<x>";
    close += "</x>";
  }
  LoadLibrary(open + close + R"(<protocol name="deep"><description>)" + open + "deep text" + close +
              R"(</description><packet><delimiter name="lead">)" + open + "#9000" + close +
              "_4500</delimiter></packet></protocol>");
  EXPECT_EQ(NameOf(Decoded(NecPacket)), "deep");
  EXPECT_EQ(Description("deep"), "deep text|");
}

TEST_F(ProtocolFileTest, ThousandsOfProtocolsAreAllTried) {
  std::string library;
  for (int i = 0; i < 5000; ++i) {
    library += "<protocol name=\"p" + std::to_string(i) +
               R"("><packet><delimiter name="lead">#4000_4000</delimiter></packet></protocol>)";
  }
  LoadLibrary(library);
  EXPECT_EQ(NameOf(Decoded(NecPacket)), "unknown");
  LoadLibrary(library + Nec);
  EXPECT_EQ(NameOf(Decoded(NecPacket)), "NEC");
  EXPECT_EQ(Engine.ProtocolNodes->Count(), 5001u);
}

TEST_F(ProtocolFileTest, EntitiesAndCdataAreText) {
  LoadLibrary(R"(<protocol name="e"><description>a &amp; b<![CDATA[ <c> ]]></description>)"
              R"(<packet><delimiter name="lead">&#35;9000<![CDATA[_4500]]></delimiter>)"
              R"(</packet></protocol>)");
  EXPECT_EQ(NameOf(Decoded(NecPacket)), "e");
  EXPECT_EQ(Description("e"), "a & b <c> |");
}

// Text content: every text and CDATA piece below the element, white-space-only pieces between
// child elements included; comments and processing instructions are not text.
TEST_F(ProtocolFileTest, DescriptionIsTheWholeTextContent) {
  LoadLibrary(R"(<protocol name="mixed"><description>Bits <b>LSB</b> <i>first</i>,)"
              "\n<!-- note --> two<?pi x?> <![CDATA[ ]]>lines\n</description></protocol>"
              R"(<protocol name="blank"><description> </description></protocol>)"
              "<protocol name=\"crlf\"><description>one\r\ntwo\rthree</description></protocol>");
  EXPECT_EQ(Description("mixed"), "Bits LSB first,\n two  lines\n|");
  EXPECT_EQ(Description("blank"), " |");
  EXPECT_EQ(Description("crlf"), "one\ntwo\nthree|") << "line ends as XML reads them";
}

}  // namespace
