#pragma once
// A file holding one fuzz input, so that the loaders read it from disk exactly as they read a
// user's file. Lives in $TMPDIR (or /tmp) under a name unique to this process; removed by the
// destructor. Aborts when it cannot be written: a fuzz run without its file tests nothing.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

class TFuzzFile {
 public:
  // Writes Size bytes of Data to a file named after Suffix ("library.xml", "pair.map", ...).
  TFuzzFile(const std::string& Suffix, const uint8_t* Data, size_t Size)
      : Path(Folder() + "/vorlent-fuzz-" + std::to_string(getpid()) + "-" + Suffix) {
    std::FILE* file = std::fopen(Path.c_str(), "wb");
    if (!file || (Size && std::fwrite(Data, 1, Size, file) != Size) || std::fclose(file) != 0) {
      std::perror(Path.c_str());
      std::abort();
    }
  }
  ~TFuzzFile() { std::remove(Path.c_str()); }
  TFuzzFile(const TFuzzFile&) = delete;
  TFuzzFile& operator=(const TFuzzFile&) = delete;

  // The same folder and process prefix for a name that is not written here.
  static std::string Beside(const std::string& Suffix) {
    return Folder() + "/vorlent-fuzz-" + std::to_string(getpid()) + "-" + Suffix;
  }

  const std::string Path;

 private:
  static std::string Folder() {
    const char* folder = std::getenv("TMPDIR");
    return folder && *folder ? folder : "/tmp";
  }
};
