// The renderer's output as the LEDs need it, the signals of protocols and codes with their
// errors, and vorlent-send's command line.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "LibraryPath.h"
#include "LoopBack.h"
#include "TCodeLibrary.h"
#include "TIrCode.h"
#include "TProtocolRecognition.h"
#include "TSendCommand.h"
#include "TSendError.h"
#include "TSignalSource.h"
#include "TSoundOutput.h"
#include "TWavFile.h"

namespace fs = std::filesystem;
using TMode = TCarrierRenderer::TMode;

namespace {
std::shared_ptr<const TCodeLibrary> Shipped() {
  static const std::shared_ptr<const TCodeLibrary> library = [] {
    TProtocolRecognition engine;
    engine.LoadProtocols(ShippedLibrary());
    return std::make_shared<const TCodeLibrary>(engine);
  }();
  return library;
}

struct TRefusalCase {
  uint32_t Carrier;
  TMode Mode;
  unsigned Rate;
  const char* Needs;  // "" when carried, else the rate the refusal names
};

class Refusal : public testing::TestWithParam<TRefusalCase> {};

TEST_P(Refusal, CarriersBeyondTheRatesBandAreRefusedWithTheRateTheyNeed) {
  const TRefusalCase& c = GetParam();
  const std::string reason = TCarrierRenderer::Refusal(c.Carrier, {.Mode = c.Mode, .Rate = c.Rate});
  if (!*c.Needs) {
    EXPECT_EQ(reason, "");
    return;
  }
  EXPECT_NE(reason.find(std::to_string(c.Carrier) + " Hz"), std::string::npos) << reason;
  EXPECT_NE(reason.find(std::string("rate of ") + c.Needs), std::string::npos) << reason;
  TIrSignal signal{"test", c.Carrier, {560, 560}, {}, 0};
  EXPECT_THROW(TCarrierRenderer::Render(signal, {.Mode = c.Mode, .Rate = c.Rate}), TSendError);
}

INSTANTIATE_TEST_SUITE_P(Carriers, Refusal,
                         testing::Values(TRefusalCase{38000, TMode::Antiphase, 48000, ""},
                                         TRefusalCase{40000, TMode::Antiphase, 48000, ""},
                                         TRefusalCase{56000, TMode::Antiphase, 48000, "88200"},
                                         TRefusalCase{57600, TMode::Antiphase, 96000, ""},
                                         TRefusalCase{38000, TMode::Mono, 48000, "88200"},
                                         TRefusalCase{40000, TMode::Mono, 96000, ""},
                                         TRefusalCase{56000, TMode::Mono, 96000, "176400"}));

struct TShapeCase {
  TMode Mode;
  unsigned Rate;
  uint32_t Carrier;
  double Volume;
};

class Shape : public testing::TestWithParam<TShapeCase> {};

// Marks of whole carrier periods at their own times, starting and ending at zero, at the chosen
// full scale; silence everywhere else; the right channel the left inverted (antiphase) or quiet.
TEST_P(Shape, MarksAreWholePeriodsAtFullScaleAndNothingPlaysBetween) {
  const TShapeCase& c = GetParam();
  const TIrSignal signal{"test", c.Carrier, {560, 560, 1690, 1690, 9000, 4500, 560, 5000}, {}, 0};
  const TCarrierRenderer::TOptions options{.Mode = c.Mode, .Rate = c.Rate, .Volume = c.Volume};
  const TCarrierRenderer::TPcm pcm = TCarrierRenderer::Render(signal, options);
  ASSERT_EQ(pcm.Rate, c.Rate);
  std::vector<bool> inMark(pcm.Frames(), false);
  double at = 0;
  for (size_t i = 0; i < signal.Frame.size(); at += signal.Frame[i], ++i) {
    if (i % 2) continue;
    const double periods = std::round(signal.Frame[i] * c.Carrier / 1e6);
    const double from = at / 1e6 * c.Rate, to = (at / 1e6 + periods / c.Carrier) * c.Rate;
    int16_t peak = 0;
    for (size_t f = static_cast<size_t>(std::ceil(from)); f < to && f < pcm.Frames(); ++f) {
      inMark[f] = true;
      peak = std::max<int16_t>(peak, static_cast<int16_t>(std::abs(pcm.Samples[2 * f])));
    }
    EXPECT_NEAR(peak, c.Volume * 32767, 0.02 * 32767 + 1) << "mark " << i;
    // No click: stepping into and out of the mark is no steeper than the tone itself.
    const auto first = static_cast<size_t>(std::ceil(from));
    const auto last = static_cast<size_t>(std::ceil(to)) - 1;
    int steepest = 0;
    for (size_t f = first; f < last; ++f)
      steepest = std::max(steepest, std::abs(pcm.Samples[2 * f + 2] - pcm.Samples[2 * f]));
    EXPECT_LE(std::abs(pcm.Samples[2 * first]), steepest) << "mark " << i;
    EXPECT_LE(std::abs(pcm.Samples[2 * last]), steepest) << "mark " << i;
  }
  EXPECT_GE(pcm.Frames() / static_cast<double>(c.Rate), at / 1e6);
  for (size_t f = 0; f < pcm.Frames(); ++f) {
    const int16_t left = pcm.Samples[2 * f], right = pcm.Samples[2 * f + 1];
    if (!inMark[f]) {
      ASSERT_EQ(left, 0) << "sound between marks at frame " << f;
    }
    ASSERT_EQ(right, c.Mode == TMode::Antiphase ? -left : 0) << "frame " << f;
  }
}

INSTANTIATE_TEST_SUITE_P(Outputs, Shape,
                         testing::Values(TShapeCase{TMode::Antiphase, 48000, 38000, 1},
                                         TShapeCase{TMode::Antiphase, 44100, 36000, 0.5},
                                         TShapeCase{TMode::Mono, 96000, 40000, 0.8},
                                         TShapeCase{TMode::Antiphase, 96000, 56000, 0.25},
                                         TShapeCase{TMode::Antiphase, 192000, 38000, 1},
                                         TShapeCase{TMode::Mono, 384000, 36000, 1}));

// Repeats as the protocol sends them: NEC's repeat frame every 108 ms; Sony's frame every 45 ms;
// a raw code after its own gap.
TEST(Sequence, RepeatsFollowTheProtocolsFrameAndPeriod) {
  const TSignalSource source(Shipped());
  const TIrSignal nec = source.FromFields("NEC", {{"address", 4}, {"command", 8}});
  ASSERT_FALSE(nec.Repeat.empty());
  EXPECT_EQ(nec.PeriodMicros, 108000);
  const std::vector<double> held = TCarrierRenderer::Sequence(nec, {.Repeats = 2});
  // Both end with their silence: the frame's marks, a gap to the next, and so on.
  ASSERT_EQ(nec.Frame.size() % 2, 0u);
  EXPECT_EQ(held.size(), nec.Frame.size() + 2 * nec.Repeat.size());
  double second = 0;
  for (size_t i = 0; i < nec.Frame.size(); ++i) second += held[i];
  EXPECT_NEAR(second, 108000, 1);
  const std::vector<double> hold = TCarrierRenderer::Sequence(nec, {.HoldMillis = 250});
  EXPECT_EQ(hold.size(), held.size());  // frames start at 0, 108 and 216 ms

  const TIrSignal sony = source.FromFields("Sony12", {{"address", 1}, {"command", 21}});
  EXPECT_TRUE(sony.Repeat.empty());
  const std::vector<double> twice = TCarrierRenderer::Sequence(sony, {.Repeats = 1});
  EXPECT_EQ(twice.size(), 2 * sony.Frame.size());
  double gap = 0;
  for (size_t i = 0; i < sony.Frame.size(); ++i) gap += twice[i];
  EXPECT_NEAR(gap, 45000, 1);

  TIrCode raw;
  raw.Durations = {500, 500, 1000};
  raw.GapMicros = 30000;
  const TIrSignal code = source.FromCode(raw);
  EXPECT_EQ(TCarrierRenderer::Sequence(code, {.Repeats = 1}),
            (std::vector<double>{500, 500, 1000, 30000, 500, 500, 1000, 30000}));
  EXPECT_THROW(TCarrierRenderer::Sequence(code, {.Repeats = TCarrierRenderer::MaxRepeats + 1}),
               TSendError);
}

struct TRepeatCase {
  const char* Protocol;
  std::vector<std::string> Decoded;  // the three frames of a held key, as the decoder names them
  double PeriodMicros;               // from the second frame's start to the third's; 0: not checked
  double SilenceMicros;              // after the first frame's last mark; 0: not checked
};

class Repeats : public testing::TestWithParam<TRepeatCase> {};

// A held key as the protocols' descriptions have it: which frame follows the first, how often
// frames start, how long the silence after the first lasts; the longest frames of each (every
// field all ones) keep the period.
TEST_P(Repeats, AHeldKeySendsTheProtocolsFramesAtItsTiming) {
  const TRepeatCase& c = GetParam();
  const TSignalSource source(Shipped());
  TSignalSource::TFieldValues ones;
  for (const TSignalSource::TField& field : source.FieldsOf(c.Protocol))
    ones.push_back({field.Name, (uint32_t{1} << field.Bits) - 1});
  const std::vector<double> runs =
      TCarrierRenderer::Sequence(source.FromFields(c.Protocol, ones), {.Repeats = 2});
  constexpr double FrameGapMicros = 5000;  // longer than any space inside these frames
  std::vector<double> starts{0};
  std::vector<TInterval> marks;
  double at = 0;
  for (size_t i = 0; i < runs.size(); at += runs[i++] / 1e6) {
    if (i % 2 == 0) marks.push_back({at, at + runs[i] / 1e6});
    if (i % 2 && runs[i] > FrameGapMicros && i + 1 < runs.size())
      starts.push_back((at + runs[i] / 1e6) * 1e6);
    if (i % 2 && runs[i] > FrameGapMicros && starts.size() == 2 && c.SilenceMicros) {
      EXPECT_NEAR(runs[i], c.SilenceMicros, 1);
    }
  }
  ASSERT_EQ(starts.size(), 3u);
  if (c.PeriodMicros) {
    EXPECT_NEAR(starts[2] - starts[1], c.PeriodMicros, 1);
  }
  if (c.Decoded.empty()) return;
  TDecodeRig rig(ShippedLibrary(), 10);
  std::vector<std::string> names;
  for (const TDecoded& decoded : rig.Run(TLedReceiver::Record(marks, at + 0.05)))
    names.push_back(decoded.Name);
  EXPECT_EQ(names, c.Decoded);
}

INSTANTIATE_TEST_SUITE_P(
    Protocols, Repeats,
    testing::Values(
        TRepeatCase{"NEC", {"NEC", "NEC repeat", "NEC repeat"}, 108000, 0},
        TRepeatCase{
            "G.I. Cable", {"G.I. Cable", "G.I. Cable repeat", "G.I. Cable repeat"}, 98700, 41000},
        TRepeatCase{"Teac-K", {"Teac-K", "Teac-K repeat", "Teac-K repeat"}, 43000, 43000},
        TRepeatCase{"Sharp", {"Sharp", "Sharp (2nd frame)", "Sharp"}, 0, 43600},
        TRepeatCase{"Sony20", {}, 45000, 0},
        TRepeatCase{"Bose", {"Bose", "Bose", "Bose"}, 0, 50000}),
    [](const auto& Info) {
      std::string name = Info.param.Protocol;
      std::erase_if(name, [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); });
      return name;
    });

TEST(SignalSource, ComplementsLeftOutAreWorkedOut) {
  const TSignalSource source(Shipped());
  EXPECT_EQ(
      source.FromFields("NEC", {{"address", 4}, {"command", 8}}).Frame,
      source
          .FromFields("NEC",
                      {{"address", 4}, {"address_inv", 251}, {"command", 8}, {"command_inv", 247}})
          .Frame);
}

struct TCommandCase {
  const char* Label;
  std::vector<std::string> Arguments;
  int Status;
  const char* Says;  // on stderr, or on stdout for status 0
};

class Command : public testing::TestWithParam<TCommandCase> {};

// A stand-in output that keeps what it is given to play.
class TKeptOutput : public TSoundOutput {
 public:
  std::vector<TCaptureDevice> OutputDevices() override { return {{0, "Test card", 48000, true}}; }
  std::string Play(const std::string& Device, unsigned Rate, const std::vector<int16_t>& Samples,
                   const std::atomic<bool>&) override {
    if (!Device.empty() && Device != "Test card") return "no output device is named " + Device;
    Played = {Rate, Samples};
    return "";
  }
  TCarrierRenderer::TPcm Played;
};

TEST_P(Command, ReportsWhatItCannotSendAndPlaysWhatItCan) {
  std::vector<std::string> words{"vorlent-send", "--protocols", ShippedLibrary()};
  words.insert(words.end(), GetParam().Arguments.begin(), GetParam().Arguments.end());
  std::vector<const char*> argv;
  for (const std::string& word : words) argv.push_back(word.c_str());
  std::ostringstream out, err;
  auto output = std::make_unique<TKeptOutput>();
  TKeptOutput& kept = *output;
  TSendCommand command(out, err, std::move(output));
  const std::atomic<bool> stop = false;
  EXPECT_EQ(command.Run(static_cast<int>(argv.size()), argv.data(), stop), GetParam().Status)
      << err.str();
  const std::string said = GetParam().Status ? err.str() : out.str();
  EXPECT_NE(said.find(GetParam().Says), std::string::npos) << said;
  if (GetParam().Status == 0 && std::string(GetParam().Label).starts_with("plays")) {
    EXPECT_FALSE(kept.Played.Samples.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, Command,
    testing::Values(
        TCommandCase{"plays", {"NEC", "address=4", "command=0x08", "--repeat", "1"}, 0, ""},
        TCommandCase{
            "playsOnDevice",
            {"RC5", "field=1", "toggle=0", "address=0", "command=12", "--device", "Test card"},
            0,
            ""},
        TCommandCase{"lists", {"--list-devices"}, 0, "Test card"},
        TCommandCase{"protocols", {"--list-protocols"}, 0, "NEC: address(8)"},
        TCommandCase{"nearestProtocol", {"NEX", "address=4"}, 1, "did you mean NEC?"},
        TCommandCase{"nearestField", {"NEC", "adress=4", "command=8"}, 1, "did you mean address?"},
        TCommandCase{"tooWide", {"NEC", "address=256", "command=8"}, 1, "wider than its 8 bits"},
        TCommandCase{"wider64",
                     {"NEC", "address=0x10000000000000000", "command=8"},
                     1,
                     "wider than 64 bits"},
        TCommandCase{"missing", {"NEC", "address=4"}, 1, "command has no value"},
        TCommandCase{"notANumber", {"NEC", "address=four", "command=8"}, 1, "not a whole number"},
        TCommandCase{"noValue", {"NEC", "address"}, 1, "no field value"},
        TCommandCase{"carrier", {"RCA", "address=1", "command=2"}, 1, "56000 Hz"},
        TCommandCase{"mono48k",
                     {"NEC", "address=1", "command=2", "--mode", "mono", "--rate", "48000"},
                     1,
                     "or antiphase mode"},
        TCommandCase{"noDevice",
                     {"NEC", "address=1", "command=2", "--device", "usb"},
                     1,
                     "no output device is named"},
        TCommandCase{"both", {"--repeat", "1", "--hold", "100", "NEC"}, 2, "excludes"},
        TCommandCase{"nothing", {}, 1, "name a protocol"},
        TCommandCase{"noFile", {"--code", "/nonexistent/tv.ir"}, 1, "/nonexistent/tv.ir"}),
    [](const auto& Info) { return std::string(Info.param.Label); });

// A code file on disk, its codes chosen by name; the WAV file written holds the same PCM as
// the renderer gives, read back.
TEST(Command, SendsACodeOfAFileIntoAWavFile) {
  std::string pattern = (fs::temp_directory_path() / "vorlent-send-XXXXXX").string();
  const fs::path dir = mkdtemp(pattern.data());
  const fs::path ir = dir / "tv.ir", wav = dir / "power.wav";
  std::ofstream(ir) << "Filetype: IR signals file\nVersion: 1\n#\nname: Power\ntype: parsed\n"
                       "protocol: NEC\naddress: 04 00 00 00\ncommand: 08 00 00 00\n#\n"
                       "name: Mute\ntype: raw\nfrequency: 36000\nduty_cycle: 0.33\n"
                       "data: 900 900 1800 900 900\n";
  const auto run = [&](std::vector<std::string> words, std::string& Err) {
    words.insert(words.begin(), {"vorlent-send", "--protocols", ShippedLibrary()});
    std::vector<const char*> argv;
    for (const std::string& word : words) argv.push_back(word.c_str());
    std::ostringstream out, err;
    TSendCommand command(out, err, std::make_unique<TKeptOutput>());
    const std::atomic<bool> stop = false;
    const int status = command.Run(static_cast<int>(argv.size()), argv.data(), stop);
    Err = err.str();
    return status;
  };
  std::string err;
  EXPECT_EQ(run({"--code", ir.string()}, err), 1);
  EXPECT_NE(err.find("choose one with --name: Power, Mute"), std::string::npos) << err;
  EXPECT_EQ(run({"--code", ir.string(), "--name", "Powr"}, err), 1);
  EXPECT_NE(err.find("did you mean Power?"), std::string::npos) << err;
  ASSERT_EQ(run({"--code", ir.string(), "--name", "Power", "--output", wav.string()}, err), 0)
      << err;
  const TCarrierRenderer::TPcm expected = TCarrierRenderer::Render(
      TSignalSource(Shipped()).FromFields("NEC", {{"address", 4}, {"command", 8}}), {});
  const TCarrierRenderer::TPcm read = TWavFile::Read(wav.string());
  EXPECT_EQ(read.Rate, 48000u);
  EXPECT_EQ(read.Samples, expected.Samples);
  ASSERT_EQ(
      run({"--code", ir.string(), "--name", "Mute", "--output", wav.string(), "--mode", "mono"},
          err),
      0)
      << err;
  EXPECT_EQ(TWavFile::Read(wav.string()).Rate, 96000u);
  // An unwritable place keeps nothing half-written and names the file.
  EXPECT_EQ(run({"NEC", "address=1", "command=2", "--output", (dir / "no/such.wav").string()}, err),
            1);
  EXPECT_NE(err.find("no/such.wav"), std::string::npos) << err;
  fs::remove_all(dir);
}
}  // namespace
