// The sample files: a ".map" index of 24-byte records and a ".dat" of concatenated signals.

#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "TFileError.h"
#include "U_signalProcessor.h"

namespace {
constexpr size_t RecordSize = 24;  // bytes of one ".map" record

// One ".map" record: little-endian binary32, binary32, binary64, int32, 4 bytes padding.
struct TSampleMapRecord {
  float Duration = 0;
  float Gap = 0;
  double CaptureTime = 0;
  int32_t SignalLength = 0;

  void Encode(uint8_t* Out) const {
    Put(Out, std::bit_cast<uint32_t>(Duration), 4);
    Put(Out + 4, std::bit_cast<uint32_t>(Gap), 4);
    Put(Out + 8, std::bit_cast<uint64_t>(CaptureTime), 8);
    Put(Out + 16, static_cast<uint32_t>(SignalLength), 4);
    Put(Out + 20, 0, 4);
  }
  static TSampleMapRecord Decode(const uint8_t* In) {
    TSampleMapRecord r;
    r.Duration = std::bit_cast<float>(static_cast<uint32_t>(Get(In, 4)));
    r.Gap = std::bit_cast<float>(static_cast<uint32_t>(Get(In + 4, 4)));
    r.CaptureTime = std::bit_cast<double>(Get(In + 8, 8));
    r.SignalLength = static_cast<int32_t>(static_cast<uint32_t>(Get(In + 16, 4)));
    return r;
  }
  static void Put(uint8_t* Out, uint64_t Value, int Bytes) {
    for (int i = 0; i < Bytes; ++i) Out[i] = static_cast<uint8_t>(Value >> (8 * i));
  }
  static uint64_t Get(const uint8_t* In, int Bytes) {
    uint64_t value = 0;
    for (int i = 0; i < Bytes; ++i) value |= static_cast<uint64_t>(In[i]) << (8 * i);
    return value;
  }
};

[[noreturn]] void ThrowErrno(int Errno) {
  throw TFileError(TFileError::CodeOfErrno(Errno ? Errno : EIO));
}

// A file opened for reading; closed by its destructor.
class TInputFile {
 public:
  explicit TInputFile(const std::string& Name) : F(std::fopen(Name.c_str(), "rb")) {
    if (!F) ThrowErrno(errno);
    struct stat info {};
    if (fstat(fileno(F), &info) != 0) ThrowErrnoAndClose();
    if (S_ISDIR(info.st_mode)) {
      std::fclose(F);
      throw TFileError(TFileError::AccessDenied);
    }
    Size = info.st_size;
  }
  ~TInputFile() { std::fclose(F); }
  TInputFile(const TInputFile&) = delete;
  TInputFile& operator=(const TInputFile&) = delete;

  // Reads exactly Count bytes; "Read beyond end of file" when the file ends first.
  void Read(void* Out, size_t Count) {
    if (std::fread(Out, 1, Count, F) == Count) return;
    if (std::feof(F)) throw TFileError(TFileError::ReadBeyondEnd);
    ThrowErrno(errno);
  }

  int64_t Size = 0;

 private:
  [[noreturn]] void ThrowErrnoAndClose() {
    int error = errno;
    std::fclose(F);
    ThrowErrno(error);
  }
  FILE* F;
};

// A file written under a temporary name beside Target and renamed onto it by Commit; a file
// never committed is removed again.
class TOutputFile {
 public:
  explicit TOutputFile(const std::string& Target) : Target(Target), TempName(Target + ".XXXXXX") {
    int fd = mkstemp(TempName.data());
    if (fd < 0) {
      // A folder that does not exist makes the name itself invalid.
      if (errno == ENOENT) throw TFileError(TFileError::InvalidFilename);
      ThrowErrno(errno);
    }
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    F = fdopen(fd, "wb");
    if (!F) {
      int error = errno;
      close(fd);
      unlink(TempName.c_str());
      ThrowErrno(error);
    }
  }
  ~TOutputFile() {
    if (F) std::fclose(F);
    if (!Committed) unlink(TempName.c_str());
  }
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  void Write(const void* Data, size_t Count) {
    if (Count && std::fwrite(Data, 1, Count, F) != Count) ThrowErrno(errno);
  }
  // Flushes and closes; a full disk shows here at the latest.
  void Close() {
    FILE* f = F;
    F = nullptr;
    if (std::fflush(f) != 0 || fsync(fileno(f)) != 0) {
      int error = errno;
      std::fclose(f);
      ThrowErrno(error);
    }
    if (std::fclose(f) != 0) ThrowErrno(errno);
  }
  void Commit() {
    if (std::rename(TempName.c_str(), Target.c_str()) != 0) ThrowErrno(errno);
    Committed = true;
  }

 private:
  std::string Target;
  std::string TempName;
  FILE* F = nullptr;
  bool Committed = false;
};
}  // namespace

std::string TSignalProcessor::DataFileName(const std::string& MapFileName) {
  size_t dot = MapFileName.rfind('.');
  size_t slash = MapFileName.rfind('/');
  bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExtension ? MapFileName.substr(0, dot) : MapFileName) + ".dat";
}

void TSignalProcessor::SaveSamples(const std::string& BaseName) const {
  TOutputFile map(BaseName + ".map");
  TOutputFile dat(BaseName + ".dat");
  for (const auto& sample : Samples) {
    uint8_t record[RecordSize];
    TSampleMapRecord{sample->Duration, sample->Gap, sample->CaptureTime,
                     static_cast<int32_t>(sample->Signal.size())}
        .Encode(record);
    map.Write(record, RecordSize);
    dat.Write(sample->Signal.data(), sample->Signal.size());
  }
  map.Close();
  dat.Close();
  dat.Commit();
  map.Commit();
}

std::vector<std::unique_ptr<TSample>> TSignalProcessor::ReadSamples(
    const std::string& MapFileName) const {
  TInputFile map(MapFileName);
  TInputFile dat(DataFileName(MapFileName));
  const int64_t records = map.Size / static_cast<int64_t>(RecordSize);  // a partial tail is ignored
  int64_t dataLeft = dat.Size;
  std::vector<std::unique_ptr<TSample>> samples;
  for (int64_t i = 0; i < records; ++i) {
    uint8_t bytes[RecordSize];
    map.Read(bytes, RecordSize);
    TSampleMapRecord record = TSampleMapRecord::Decode(bytes);
    if (record.SignalLength <= 0 || record.SignalLength > static_cast<int32_t>(MaxSignalLength))
      throw TFileError(TFileError::InvalidNumericInput,
                       "Invalid signal length " + std::to_string(record.SignalLength) +
                           " in record " + std::to_string(i + 1) + " of " + MapFileName);
    if (record.SignalLength > dataLeft) throw TFileError(TFileError::ReadBeyondEnd);
    auto sample = std::make_unique<TSample>();
    sample->Duration = record.Duration;
    sample->Gap = record.Gap;
    sample->CaptureTime = record.CaptureTime;
    sample->Signal.resize(static_cast<size_t>(record.SignalLength));
    dat.Read(sample->Signal.data(), sample->Signal.size());
    dataLeft -= record.SignalLength;
    ExtractPulses(*sample);
    samples.push_back(std::move(sample));
  }
  return samples;
}

void TSignalProcessor::LoadSamples(const std::string& MapFileName) {
  for (auto& sample : ReadSamples(MapFileName)) AddSample(std::move(sample));
}
