#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TDecodeSettings.h"
#include "TIrFormats.h"
#include "TLineReader.h"
#include "TLircFormat.h"

namespace {
namespace fs = std::filesystem;

// Where Debian's lirc and lirc-compat-remotes packages put their lircd.conf files.
const char* const InstalledRemotes[] = {"/usr/share/lirc/remotes", "/etc/lirc/lircd.conf.d"};

// The codes of one remote: their names and runs (us, mark first, each code ending with its gap).
struct TRuns {
  std::vector<std::string> Names;
  std::vector<uint32_t> Runs;
  std::vector<size_t> Ends;  // where each code ends in Runs (drawn codes only)
};

std::string Quoted(const std::string& Path) {
  std::string out = "'";
  for (const char c : Path) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

bool HaveIrsimsend() {
  return std::system("command -v irsimsend >/dev/null 2>&1") == 0;
}

// What LIRC's irsimsend sends for every code of File: the names it prints, the runs it writes.
TRuns Irsimsend(const std::string& File) {
  const fs::path dir = fs::path(::testing::TempDir()) / "irsimsend";
  fs::create_directories(dir);
  fs::remove(dir / "simsend.out");
  TRuns sent;
  const std::string command =
      "cd " + Quoted(dir) + " && irsimsend " + Quoted(File) + " 2>/dev/null";
  FILE* names = popen(command.c_str(), "r");
  if (!names) return sent;
  char line[512];
  while (std::fgets(line, sizeof line, names)) {
    std::istringstream words(line);
    std::string name;
    if (words >> name) sent.Names.push_back(name);
  }
  pclose(names);
  std::ifstream runs(dir / "simsend.out");
  std::string kind;
  uint32_t micros = 0;
  while (runs >> kind >> micros) sent.Runs.push_back(micros);
  return sent;
}

// The same codes as this program draws them.
TRuns Drawn(const std::string& File, std::vector<std::string>& Problems) {
  std::ifstream in(File, std::ios::binary);
  TLineReader lines(in, File);
  const TIrCodeFile codes = TLircFormat().Read(lines, TDecodeSettings());
  Problems = codes.Problems;
  TRuns drawn;
  for (const TIrCode& code : codes.Codes) {
    drawn.Names.push_back(code.Name);
    drawn.Runs.insert(drawn.Runs.end(), code.Durations.begin(), code.Durations.end());
    drawn.Runs.push_back(code.GapMicros);
    drawn.Ends.push_back(drawn.Runs.size());
  }
  return drawn;
}

// True for a "one" or "zero" line with a zero half ("one 0 833"). LIRC keeps the runs on both
// sides of an empty half apart in its buffer and irsimsend labels them by position, so its
// output of such a remote alternates where the signal does not.
bool ZeroHalf(const std::string& First, std::istringstream& Rest) {
  uint32_t mark = 1, space = 1;
  return (First == "one" || First == "zero") && Rest >> mark >> space &&
         (mark == 0) != (space == 0);
}

// Each "begin remote" block of File as a file of its own (irsimsend sends the remotes of one
// file in an order of its own), without its toggle bit: the value irsimsend gives it depends on
// what it sent before, and this program draws codes as the file holds them.
std::vector<std::string> Remotes(const std::string& File, size_t& Uncomparable) {
  std::ifstream in(File, std::ios::binary);
  std::vector<std::string> remotes;
  std::string line, text;
  bool inside = false, zeroHalf = false;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string first, second;
    words >> first;
    const bool toggle =
        first == "toggle_bit" || first == "repeat_bit" || first == "toggle_bit_mask";
    zeroHalf |= inside && ZeroHalf(first, words);
    words >> second;
    inside |= first == "begin" && second == "remote";
    if (inside && !toggle) text += line + "\n";
    if (!inside || first != "end" || second != "remote") continue;
    const std::string name = ::testing::TempDir() + "remote" + std::to_string(remotes.size());
    std::ofstream(name, std::ios::binary) << text;
    if (zeroHalf)
      ++Uncomparable;
    else
      remotes.push_back(name);
    text.clear();
    inside = zeroHalf = false;
  }
  return remotes;
}

std::vector<std::string> LircFiles() {
  std::vector<std::string> files;
  for (const char* root : InstalledRemotes) {
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
         it.increment(error))
      if (it->is_regular_file() && TIrFormats::Detect(it->path()) == TIrFormats::Find("lirc"))
        files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

void ExpectSameRuns(const std::string& File, const TRuns& Drawn, const TRuns& Sent) {
  EXPECT_EQ(Drawn.Names, Sent.Names) << File;
  const auto [ours, theirs] =
      std::mismatch(Drawn.Runs.begin(), Drawn.Runs.end(), Sent.Runs.begin(), Sent.Runs.end());
  if (ours == Drawn.Runs.end() && theirs == Sent.Runs.end()) return;
  const size_t at = static_cast<size_t>(ours - Drawn.Runs.begin());
  const size_t code = static_cast<size_t>(
      std::upper_bound(Drawn.Ends.begin(), Drawn.Ends.end(), at) - Drawn.Ends.begin());
  ADD_FAILURE() << File << ": code " << (code < Drawn.Names.size() ? Drawn.Names[code] : "?")
                << ", run " << at << ": " << (ours == Drawn.Runs.end() ? -1 : int64_t{*ours})
                << " us drawn, " << (theirs == Sent.Runs.end() ? -1 : int64_t{*theirs})
                << " us sent";
}

// Every lircd.conf of the installed LIRC packages, each remote drawn by this program and sent by
// LIRC's own irsimsend, compared run by run: same codes, same marks and spaces, same gaps.
// Remotes without timings (they name scan codes of USB receivers) draw nothing and are counted.
TEST(LircAgreementTest, InstalledRemotesAsIrsimsendSendsThem) {
  ASSERT_TRUE(HaveIrsimsend()) << "irsimsend is not installed (Debian package lirc)";
  const std::vector<std::string> files = LircFiles();
  ASSERT_GE(files.size(), 1u) << "no lircd.conf under /usr/share/lirc/remotes";
  size_t compared = 0, codes = 0, undrawable = 0, uncomparable = 0;
  for (const std::string& original : files) {
    for (const std::string& file : Remotes(original, uncomparable)) {
      std::vector<std::string> problems;
      const TRuns drawn = Drawn(file, problems);
      if (!problems.empty()) {
        ++undrawable;
        continue;
      }
      ExpectSameRuns(original, drawn, Irsimsend(file));
      ++compared;
      codes += drawn.Names.size();
    }
  }
  std::printf(
      "%zu files: %zu remotes (%zu codes) compared, %zu without timings, %zu with an "
      "empty half bit\n",
      files.size(), compared, codes, undrawable, uncomparable);
  EXPECT_GE(compared, 1u);
}
}  // namespace
