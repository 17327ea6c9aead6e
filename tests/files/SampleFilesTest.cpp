#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "TFileError.h"
#include "TSignalProcessor.h"
#include "TWatchdog.h"

namespace fs = std::filesystem;

namespace {
using Bytes = std::vector<uint8_t>;

// A fresh folder under the system's temporary folder, removed with its content.
struct TempDir {
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "vorlent-files-XXXXXX").string();
    Path = mkdtemp(pattern.data());
  }
  ~TempDir() { fs::remove_all(Path); }
  std::string operator/(const std::string& name) const { return (Path / name).string(); }
  fs::path Path;
};

std::unique_ptr<TSample> MakeSample(size_t length, float duration, float gap, double time) {
  auto sample = std::make_unique<TSample>();
  for (size_t i = 0; i < length; ++i) sample->Signal.push_back(i % 7 < 3 ? 200 : 128);
  sample->Duration = duration;
  sample->Gap = gap;
  sample->CaptureTime = time;
  return sample;
}

Bytes ReadAll(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& name, const Bytes& bytes) {
  std::ofstream(name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

Bytes Record(int32_t length) {
  Bytes r(24, 0);
  for (int i = 0; i < 4; ++i)
    r[16 + i] = static_cast<uint8_t>(static_cast<uint32_t>(length) >> (8 * i));
  return r;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

std::string LoadError(TSignalProcessor& processor, const std::string& map) {
  try {
    processor.LoadSamples(map);
  } catch (const TFileError& error) {
    return error.what();
  }
  return "";
}
}  // namespace

TEST(SampleFileNames, DataFileNameReplacesTheLastExtension) {
  EXPECT_EQ(TSignalProcessor::DataFileName("x.map"), "x.dat");
  EXPECT_EQ(TSignalProcessor::DataFileName("x.map.map"), "x.map.dat");
  EXPECT_EQ(TSignalProcessor::DataFileName("/tmp/a.b/file"), "/tmp/a.b/file.dat");
  EXPECT_EQ(TSignalProcessor::DataFileName("/tmp/a.b/file.map"), "/tmp/a.b/file.dat");
  EXPECT_EQ(TSignalProcessor::DataFileName("noext"), "noext.dat");
}

TEST(SampleFiles, RoundTripIsBitForBit) {
  TempDir dir;
  TSignalProcessor saver;
  saver.SampleRate = 48000;
  saver.AddSample(MakeSample(500, 0.0123f, 1.5f, 0.5123456789));
  saver.AddSample(MakeSample(1200, 1e-7f, 0.0f, 0.99999));
  saver.AddSample(MakeSample(800, 3.25f, 123.456f, 0.0));
  for (auto& s : saver.Samples) saver.ExtractPulses(*s);
  saver.SaveSamples(dir / "pair");
  EXPECT_EQ(fs::file_size(dir / "pair.map"), 72u);
  EXPECT_EQ(fs::file_size(dir / "pair.dat"), 2500u);
  Bytes dat = ReadAll(dir / "pair.dat");
  EXPECT_TRUE(std::equal(saver.Samples[1]->Signal.begin(), saver.Samples[1]->Signal.end(),
                         dat.begin() + 500));

  TSignalProcessor loader;
  loader.LoadSamples(dir / "pair.map");
  ASSERT_EQ(loader.Samples.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    const TSample& a = *saver.Samples[i];
    const TSample& b = *loader.Samples[i];
    EXPECT_EQ(std::bit_cast<uint32_t>(a.Duration), std::bit_cast<uint32_t>(b.Duration));
    EXPECT_EQ(std::bit_cast<uint32_t>(a.Gap), std::bit_cast<uint32_t>(b.Gap));
    EXPECT_EQ(std::bit_cast<uint64_t>(a.CaptureTime), std::bit_cast<uint64_t>(b.CaptureTime));
    EXPECT_EQ(a.Signal, b.Signal);
    EXPECT_EQ(a.Pulses, b.Pulses);
    EXPECT_EQ(b.Protocol, nullptr);
  }
}

TEST(SampleFiles, RecordLayoutIsLittleEndian) {
  TempDir dir;
  TSignalProcessor saver;
  saver.AddSample(MakeSample(3, 1.0f, 2.0f, 0.5));
  saver.SaveSamples(dir / "one");
  Bytes map = ReadAll(dir / "one.map");
  EXPECT_EQ(map, (Bytes{0, 0, 0x80, 0x3F, 0, 0, 0, 0x40, 0, 0, 0, 0,
                        0, 0, 0xE0, 0x3F, 3, 0, 0, 0,    0, 0, 0, 0}));
}

TEST(SampleFiles, EmptyListGivesTwoEmptyFilesThatLoadNothing) {
  TempDir dir;
  TSignalProcessor processor;
  processor.SaveSamples(dir / "empty");
  EXPECT_EQ(fs::file_size(dir / "empty.map"), 0u);
  EXPECT_EQ(fs::file_size(dir / "empty.dat"), 0u);
  processor.LoadSamples(dir / "empty.map");
  EXPECT_TRUE(processor.Samples.empty());
}

TEST(SampleFiles, ExtensionOfTheBaseNameIsKept) {
  TempDir dir;
  TSignalProcessor processor;
  processor.AddSample(MakeSample(10, 0, 0, 0));
  processor.SaveSamples(dir / "x.map");
  EXPECT_TRUE(fs::exists(dir / "x.map.map"));
  EXPECT_TRUE(fs::exists(dir / "x.map.dat"));
  TSignalProcessor loader;
  loader.LoadSamples(dir / "x.map.map");
  EXPECT_EQ(loader.Samples.size(), 1u);
  // No temporary files are left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path), fs::directory_iterator()), 2);
}

TEST(SampleFiles, PartialRecordAndExtraDataAreIgnored) {
  TempDir dir;
  WriteAll(dir / "p.map", Concat({Record(3), Record(2), Bytes{1, 2}}));  // 50 bytes
  WriteAll(dir / "p.dat", Bytes{200, 128, 128, 200, 128, 9, 9, 9});
  TSignalProcessor processor;
  processor.LoadSamples(dir / "p.map");
  ASSERT_EQ(processor.Samples.size(), 2u);
  EXPECT_EQ(processor.Samples[0]->Pulses, (std::vector<uint16_t>{0, 1, 1}));
  EXPECT_EQ(processor.Samples[1]->Signal, (Bytes{200, 128}));
  std::string note = "stale";  // what was whole is read, and the reader is told about the rest
  EXPECT_EQ(processor.ReadSamples(dir / "p.map", &note).size(), 2u);
  EXPECT_EQ(note, dir / "p.map" +
                      ": the last 2 bytes are not a whole 24-byte record and were "
                      "left out; the 2 whole records before them were loaded");
}

struct BadPair {
  const char* Name;
  Bytes Map;
  Bytes Dat;
  const char* Message;  // "%s" stands for the .map path, "%d" for the .dat path
};

class SampleFilesBadPair : public ::testing::TestWithParam<BadPair> {};

TEST_P(SampleFilesBadPair, FailsWithAClearMessageAndAppendsNothing) {
  TempDir dir;
  const BadPair& bad = GetParam();
  WriteAll(dir / "bad.map", bad.Map);
  WriteAll(dir / "bad.dat", bad.Dat);
  TSignalProcessor processor;
  processor.AddSample(MakeSample(5, 0, 0, 0));
  std::string expected = bad.Message;
  for (auto [mark, name] : {std::pair{"%s", "bad.map"}, std::pair{"%d", "bad.dat"}})
    while (expected.find(mark) != std::string::npos)
      expected.replace(expected.find(mark), 2, dir / name);
  EXPECT_EQ(LoadError(processor, dir / "bad.map"), expected);
  EXPECT_EQ(processor.Samples.size(), 1u) << "the list is unchanged";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SampleFilesBadPair,
    ::testing::Values(BadPair{"ShortDat", Concat({Record(3), Record(4)}), Bytes(5, 128),
                              "%d: Read beyond end of file (record 2 of %s "
                              "needs 4 bytes, 2 are left)"},
                      BadPair{"ZeroLength", Concat({Record(3), Record(0)}), Bytes(9, 128),
                              "Invalid signal length 0 in record 2 of %s"},
                      BadPair{"Negative", Record(-5), Bytes(9, 128),
                              "Invalid signal length -5 in record 1 of %s"},
                      BadPair{"TooLong", Record(65536), Bytes(9, 128),
                              "Invalid signal length 65536 in record 1 of %s"},
                      BadPair{"HugeBeyondEnd", Record(65535), Bytes(9, 128),
                              "%d: Read beyond end of file (record 1 of %s "
                              "needs 65535 bytes, 9 are left)"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(SampleFiles, MissingFilesAreReported) {
  TempDir dir;
  TSignalProcessor processor;
  EXPECT_EQ(LoadError(processor, dir / "none.map"), dir / "none.map" + ": File not found");
  WriteAll(dir / "only.map", Record(3));
  EXPECT_EQ(LoadError(processor, dir / "only.map"), dir / "only.dat" + ": File not found");
  WriteAll(dir / "dir.dat", {});
  fs::create_directory(dir / "dir.map");
  EXPECT_EQ(LoadError(processor, dir / "dir.map"),
            dir / "dir.map: not a regular file but a folder");
}

TEST(SampleFiles, ReadOnlyPairLoads) {
  TempDir dir;
  TSignalProcessor saver;
  saver.AddSample(MakeSample(30, 0, 0, 0));
  saver.SaveSamples(dir / "ro");
  fs::permissions(dir / "ro.map", fs::perms::owner_read);
  fs::permissions(dir / "ro.dat", fs::perms::owner_read);
  TSignalProcessor loader;
  loader.LoadSamples(dir / "ro.map");
  EXPECT_EQ(loader.Samples.size(), 1u);
}

TEST(SampleFiles, SaveIntoAMissingFolderFails) {
  TempDir dir;
  TSignalProcessor processor;
  try {
    processor.SaveSamples(dir / "no/such/folder/x");
    FAIL() << "saved into a missing folder";
  } catch (const TFileError& error) {
    EXPECT_EQ(error.what(), dir / "no/such/folder/x.map" + ": Invalid filename");
  }
}

// A full disk, simulated by a file-size limit in a child process that leaves the limit's signal
// as it is: the save fails with "Disk full", the pair saved before stays as it was and no
// temporary file is left.
TEST(SampleFiles, FailedSaveKeepsTheEarlierPair) {
  TempDir dir;
  TSignalProcessor first;
  first.AddSample(MakeSample(1000, 1, 2, 0.25));
  first.SaveSamples(dir / "keep");
  Bytes map = ReadAll(dir / "keep.map");
  Bytes dat = ReadAll(dir / "keep.dat");

  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    TSignalProcessor bigger;
    for (int i = 0; i < 10; ++i) bigger.AddSample(MakeSample(2000, 0, 0, 0));
    try {
      bigger.SaveSamples(dir / "keep");
    } catch (const TFileError& error) {
      _exit(std::string(error.what()) == dir / "keep.dat" + ": Disk full" ? 0 : 2);
    }
    _exit(1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the save did not fail, 2: another message";
  EXPECT_EQ(ReadAll(dir / "keep.map"), map);
  EXPECT_EQ(ReadAll(dir / "keep.dat"), dat);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path), fs::directory_iterator()), 2);
}

TEST(SampleFileErrors, ErrnoValuesOutsideTheTableKeepTheirNumber) {
  EXPECT_STREQ(TFileError::FromErrno(ENOENT).what(), "File not found");
  EXPECT_STREQ(TFileError::FromErrno(EACCES).what(), "File access denied");
  EXPECT_STREQ(TFileError::FromErrno(ENOSPC).what(), "Disk full");
  EXPECT_STREQ(TFileError::FromErrno(EIO).what(), "I/O error 5");
  EXPECT_STREQ(TFileError::FromErrno(ENETDOWN).what(), "I/O error 100");
}

TEST(SampleFiles, AFolderInThePlaceOfTheIndexFailsBeforeAnythingIsWritten) {
  TempDir dir;
  TSignalProcessor processor;
  processor.AddSample(MakeSample(100, 0, 0, 0));
  processor.SaveSamples(dir / "b");
  Bytes dat = ReadAll(dir / "b.dat");
  fs::remove(dir / "b.map");
  fs::create_directory(dir / "b.map");
  processor.AddSample(MakeSample(1200, 0, 0, 0));
  try {
    processor.SaveSamples(dir / "b");
    FAIL() << "saved over a folder";
  } catch (const TFileError& error) {
    EXPECT_EQ(error.what(), dir / "b.map" + ": File access denied");
  }
  EXPECT_EQ(ReadAll(dir / "b.dat"), dat);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path), fs::directory_iterator()), 2);
}

TEST(SampleFiles, ALinkedPairIsWrittenThroughItsLinksWithItsPermissions) {
  TempDir dir;
  fs::create_directory(dir / "real");
  TSignalProcessor processor;
  processor.AddSample(MakeSample(10, 0, 0, 0));
  processor.SaveSamples(dir / "real/pair");
  fs::permissions(dir / "real/pair.map", fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink(dir / "real/pair.map", dir / "link.map");
  fs::create_symlink(dir / "real/pair.dat", dir / "link.dat");
  processor.AddSample(MakeSample(20, 0, 0, 0));
  processor.SaveSamples(dir / "link");
  EXPECT_TRUE(fs::is_symlink(dir / "link.map"));
  EXPECT_EQ(fs::file_size(dir / "real/pair.map"), 48u);
  EXPECT_EQ(fs::file_size(dir / "real/pair.dat"), 30u);
  EXPECT_EQ(fs::status(dir / "real/pair.map").permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
}

TEST(SampleFiles, APipeIsRefusedWithoutWaitingForIt) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / "pipe.map").c_str(), 0600), 0);
  WriteAll(dir / "pipe.dat", {});
  WriteAll(dir / "real.map", Record(3));
  ASSERT_EQ(mkfifo((dir / "real.dat").c_str(), 0600), 0);
  TSignalProcessor processor;
  TWatchdog watchdog(10);
  EXPECT_EQ(LoadError(processor, dir / "pipe.map"),
            dir / "pipe.map: not a regular file but a pipe (FIFO)");
  EXPECT_EQ(LoadError(processor, dir / "real.map"),
            dir / "real.dat: not a regular file but a pipe (FIFO)");
}

// Temporary files of saves that were killed are removed by the next save into their folder;
// those of a save still running, and anything else, stay.
TEST(SampleFiles, ASaveRemovesTheLitterOfKilledSaves) {
  TempDir dir;
  pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  const std::string dead = ".vorlent-" + std::to_string(gone) + "-0badf00d.tmp";
  const std::string alive = ".vorlent-" + std::to_string(getppid()) + "-600dcafe.tmp";
  const std::vector<std::string> kept = {alive, ".vorlent-12345678.tmp", ".vorlent-notes.txt"};
  for (const std::string& name : {dead, std::string(".vorlent-deadbeef.tmp")})
    WriteAll(dir / name, {1});
  for (const std::string& name : kept) WriteAll(dir / name, {1});
  fs::last_write_time(dir / ".vorlent-deadbeef.tmp",
                      fs::file_time_type::clock::now() - std::chrono::hours(1));
  TSignalProcessor processor;
  processor.AddSample(MakeSample(10, 0, 0, 0));
  processor.SaveSamples(dir / "pair");
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir.Path))
    left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  std::vector<std::string> expected = kept;
  expected.insert(expected.end(), {"pair.dat", "pair.map"});
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(left, expected);
}
