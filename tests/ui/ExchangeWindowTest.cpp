#include <gtest/gtest.h>

#include <QAction>
#include <QGroupBox>
#include <sstream>

#include "UiTestSupport.h"

using namespace ui_test;

namespace {
std::string ShippedLibrary() {
  std::ifstream in(std::string(VORLENT_DATA_DIR) + "/protocols.xml");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string ReadText(const fs::path& Path) {
  std::ifstream in(Path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

const char* const Remote =
    "Filetype: IR signals file\nVersion: 1\n#\nname: Power\ntype: parsed\nprotocol: NEC\n"
    "address: 04 00 00 00\ncommand: 08 00 00 00\n#\nname: Broken\ntype: raw\ndata: 900 0 560\n"
    "#\nname: Vol up\ntype: parsed\nprotocol: SIRC\naddress: 01 00 00 00\ncommand: 12 00 00 00\n";

class ExchangeWindowTest : public ::testing::Test {
 protected:
  ExchangeWindowTest() : Library(ShippedLibrary()), Rig(Library.c_str()) {}
  void Import(const std::string& Text) {
    std::ofstream(Rig.Dir / "remote.ir") << Text;
    Rig.Dialogs->Answers.push_back(QString::fromStdString((Rig.Dir / "remote.ir").string()));
    Rig.Gui->ImportRecordingClick();
    ASSERT_TRUE(Rig.WaitForImport());
  }
  void Export(bool All, const QString& Name, uint32_t Carrier, const char* File, int Format) {
    Rig.Dialogs->ExportAnswers.push_back(
        {All, Name, Carrier, QString::fromStdString((Rig.Dir / File).string()), Format});
    Rig.Gui->ExportCodes->trigger();
  }

  std::string Library;
  TWindowRig Rig;
};

// Import lists the good signals by name and names the bad one; Export writes the chosen
// packets in the format of the chosen file type, with the typed name and carrier.
TEST_F(ExchangeWindowTest, ImportsNamedSignalsAndExportsThem) {
  Import(Remote);
  ASSERT_EQ(Rig.Gui->Processor->Samples.size(), 2u);
  EXPECT_EQ(Rig.Sample(0).Name, "Power");
  EXPECT_EQ(Rig.Gui->GB_details->title(), " Packet details: Vol up ");
  ASSERT_EQ(Rig.Dialogs->Messages.size(), 1u);
  EXPECT_TRUE(Rig.Dialogs->Messages[0].contains("remote.ir:10: signal \"Broken\": duration 0"))
      << Rig.Dialogs->Messages[0].toStdString();

  Export(true, "", 0, "all.ir", 0);
  EXPECT_NE(ReadText(Rig.Dir / "all.ir")
                .find("name: Power\ntype: parsed\nprotocol: NEC\naddress: 04 00 00 00\n"),
            std::string::npos);
  EXPECT_EQ(Rig.Dialogs->ExportFormats.size(), 4);
  EXPECT_EQ(Rig.Dialogs->ExportDefaults.back().Name, "Vol up");
  EXPECT_FALSE(Rig.Dialogs->ExportDefaults.back().AllPackets);

  Export(false, "Loud", 40000, "loud.conf", 2);
  const std::string lirc = ReadText(Rig.Dir / "loud.conf");
  EXPECT_NE(lirc.find("frequency    40000\n"), std::string::npos) << lirc;
  EXPECT_NE(lirc.find("    name Loud\n"), std::string::npos) << lirc;
  EXPECT_EQ(lirc.find("Power"), std::string::npos);
  Rig.Gui->ExportCodes->trigger();                                  // cancelled
  EXPECT_EQ(Rig.Dialogs->ExportDefaults.back().CarrierHz, 40000u);  // the setting is kept
  EXPECT_TRUE(Rig.Dialogs->Errors.empty());
}

// A file none of whose signals can be read adds nothing; a failed or cancelled export leaves
// an earlier file as it was.
TEST_F(ExchangeWindowTest, NothingHalfDone) {
  Import("Filetype: IR signals file\nVersion: 1\nname: X\ntype: raw\ndata: 5 -5\n");
  EXPECT_TRUE(Rig.Gui->Processor->Samples.empty());
  ASSERT_EQ(Rig.Dialogs->Errors.size(), 1u);
  EXPECT_TRUE(Rig.Dialogs->Errors[0].contains("no code can be read"));

  Rig.Gui->ExportCodes->trigger();
  EXPECT_EQ(Rig.Dialogs->Messages.back(), "There are no packets to export.");
  Import(Remote);
  std::ofstream(Rig.Dir / "old.txt") << "kept";
  Rig.Gui->ExportCodes->trigger();  // cancelled
  Export(true, "", 0, "missing/old.txt", 1);
  EXPECT_EQ(ReadText(Rig.Dir / "old.txt"), "kept");
  ASSERT_EQ(Rig.Dialogs->Errors.size(), 2u);
  EXPECT_TRUE(Rig.Dialogs->Errors[1].startsWith("Cannot write "))
      << Rig.Dialogs->Errors[1].toStdString();
}
}  // namespace
