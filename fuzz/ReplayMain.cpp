// Runs a fuzz target over saved inputs without libFuzzer, so that the corpora replay in every
// build (gcc and its sanitizers included). Arguments are files or folders of files; options
// meant for libFuzzer ("-runs=0", ...) are skipped. Exit 1 when an input cannot be read.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size);

namespace {
bool Replay(const std::filesystem::path& File) {
  std::ifstream in(File, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "%s: cannot be read\n", File.c_str());
    return false;
  }
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  return true;
}
}  // namespace

int main(int Argc, char** Argv) {
  size_t replayed = 0;
  bool ok = true;
  for (int i = 1; i < Argc; ++i) {
    if (Argv[i][0] == '-') continue;
    std::vector<std::filesystem::path> files;
    std::error_code error;
    if (std::filesystem::is_directory(Argv[i], error)) {
      for (const auto& entry : std::filesystem::directory_iterator(Argv[i]))
        if (entry.is_regular_file()) files.push_back(entry.path());
      std::sort(files.begin(), files.end());
    } else {
      files.emplace_back(Argv[i]);
    }
    for (const auto& file : files) {
      ok = Replay(file) && ok;
      ++replayed;
    }
  }
  std::printf("replayed %zu inputs\n", replayed);
  return ok && replayed > 0 ? 0 : 1;
}
