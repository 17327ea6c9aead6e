// The sample files: a ".map" index of 24-byte records and a ".dat" of concatenated signals.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>

#include "TFileError.h"
#include "TRegularFile.h"
#include "TSignalProcessor.h"

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

// Every error of these files names the file: "NAME: reason".
[[noreturn]] void Fail(const std::string& Name, const TFileError& Error) {
  throw TFileError(Error.Code, Name + ": " + Error.what());
}

[[noreturn]] void ThrowErrno(const std::string& Name, int Errno) {
  Fail(Name, TFileError::FromErrno(Errno ? Errno : EIO));
}

// What is said about a partial last record, which is left out.
std::string PartialRecordText(const std::string& MapName, int64_t Bytes, int64_t Records) {
  return MapName + ": the last " + std::to_string(Bytes) + " bytes are not a whole " +
         std::to_string(RecordSize) + "-byte record and were left out; the " +
         std::to_string(Records) + " whole records before them were loaded";
}

// A regular file opened for reading only; closed by its destructor. A folder, a pipe or a
// device is refused without waiting on it.
class TInputFile {
 public:
  explicit TInputFile(const std::string& NameIn) : Name(NameIn) {
    TRegularFile file(Name);
    if (!file.IsOpen() && file.Errno()) ThrowErrno(Name, file.Errno());
    if (!file.IsOpen()) throw TFileError(TFileError::AccessDenied, Name + ": " + file.Reason());
    Size = file.Size();
    F = fdopen(file.Fd(), "rb");
    if (!F) ThrowErrno(Name, errno);
    file.Release();
  }
  ~TInputFile() { std::fclose(F); }
  TInputFile(const TInputFile&) = delete;
  TInputFile& operator=(const TInputFile&) = delete;

  // Reads exactly Count bytes; "NAME: Read beyond end of file" when the file ends first.
  void Read(void* Out, size_t Count) {
    if (std::fread(Out, 1, Count, F) == Count) return;
    if (std::feof(F)) Fail(Name, TFileError(TFileError::ReadBeyondEnd));
    ThrowErrno(Name, errno);
  }

  std::string Name;
  int64_t Size = 0;

 private:
  FILE* F = nullptr;
};

// The folder part of Name ("." when it has none).
std::string FolderOf(const std::string& Name) {
  size_t slash = Name.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : Name.substr(0, slash);
}

constexpr const char* TemporaryPrefix = ".vorlent-";
constexpr const char* TemporarySuffix = ".tmp";
constexpr time_t StaleSeconds = 600;  // age of an earlier version's temporary file that is litter

// A name beside Target that is free now: Target's folder, the writer's process id (so that
// leftovers of a writer that died can be told from files being written) and a random part.
std::string TemporaryName(const std::string& Target) {
  static std::mt19937 random(std::random_device{}());
  char part[32];
  std::snprintf(part, sizeof part, "%ld-%08x", static_cast<long>(getpid()),
                static_cast<unsigned>(random()));
  return FolderOf(Target) + "/" + TemporaryPrefix + part + TemporarySuffix;
}

// Whether the temporary file Name in Folder is left over by a save that never finished: its
// writer's process is gone or, for a name without a process id (an earlier version's), it has
// not been touched for StaleSeconds.
bool IsLeftover(const std::string& Folder, const std::string& Name) {
  const size_t prefix = std::strlen(TemporaryPrefix), suffix = std::strlen(TemporarySuffix);
  if (Name.size() <= prefix + suffix || Name.compare(0, prefix, TemporaryPrefix) != 0 ||
      Name.compare(Name.size() - suffix, suffix, TemporarySuffix) != 0)
    return false;
  const std::string middle = Name.substr(prefix, Name.size() - prefix - suffix);
  const size_t dash = middle.find('-');
  if (dash != std::string::npos) {
    char* end = nullptr;
    const long pid = std::strtol(middle.c_str(), &end, 10);
    if (end != middle.c_str() + dash || pid <= 0) return false;
    return kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
  }
  struct stat info {};
  return lstat((Folder + "/" + Name).c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         time(nullptr) - info.st_mtime > StaleSeconds;
}

// Removes the temporary files that saves into Folder left behind when they were killed.
void RemoveLeftovers(const std::string& Folder) {
  DIR* folder = opendir(Folder.c_str());
  if (!folder) return;
  while (const dirent* entry = readdir(folder))
    if (IsLeftover(Folder, entry->d_name)) unlink((Folder + "/" + entry->d_name).c_str());
  closedir(folder);
}

// A file that outgrows the size limit (ulimit -f) would kill the program with SIGXFSZ in the
// middle of a save, before it could remove its temporary files. Ignored, the write fails with
// EFBIG instead ("Disk full") and the save cleans up. Done here, where the saves are, so that
// every program that saves gets it; a handler the program installed itself is left alone.
void IgnoreFileSizeSignal() {
  static const bool Done = [] {
    struct sigaction current {};
    if (sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
      std::signal(SIGXFSZ, SIG_IGN);
    return true;
  }();
  (void)Done;
}

// A file written under a temporary name beside Target and renamed onto it by Commit; a file
// never committed is removed again. A link is followed, so the file it points at is replaced;
// an existing file keeps its permissions; a folder or a file that may not be written is refused
// before anything is written.
class TOutputFile {
 public:
  explicit TOutputFile(const std::string& Name) : Target(Name) {
    constexpr int Attempts = 16;          // random names tried before giving up
    constexpr mode_t NewFileMode = 0666;  // narrowed by the user's umask
    if (char* real = realpath(Name.c_str(), nullptr)) {
      Target = real;
      std::free(real);
    }
    IgnoreFileSizeSignal();
    RemoveLeftovers(FolderOf(Target));
    mode_t mode = NewFileMode;
    struct stat info {};
    if (stat(Target.c_str(), &info) == 0) {
      if (S_ISDIR(info.st_mode)) Fail(Target, TFileError(TFileError::AccessDenied));
      if (access(Target.c_str(), W_OK) != 0) ThrowErrno(Target, errno);
      mode = info.st_mode & 07777;
    }
    int fd = -1;
    for (int i = 0; i < Attempts && fd < 0; ++i) {
      TempName = TemporaryName(Target);
      fd = open(TempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, NewFileMode);
      if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
      // A folder that does not exist makes the name itself invalid.
      if (errno == ENOENT) Fail(Target, TFileError(TFileError::InvalidFilename));
      ThrowErrno(Target, errno);
    }
    if (mode != NewFileMode) fchmod(fd, mode);
    F = fdopen(fd, "wb");
    if (!F) {
      int error = errno;
      close(fd);
      unlink(TempName.c_str());
      ThrowErrno(Target, error);
    }
  }
  ~TOutputFile() {
    if (F) std::fclose(F);
    if (!Committed) unlink(TempName.c_str());
  }
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  void Write(const void* Data, size_t Count) {
    if (Count && std::fwrite(Data, 1, Count, F) != Count) ThrowErrno(Target, errno);
  }
  // Flushes and closes; a full disk shows here at the latest.
  void Close() {
    FILE* f = F;
    F = nullptr;
    if (std::fflush(f) != 0 || fsync(fileno(f)) != 0) {
      int error = errno;
      std::fclose(f);
      ThrowErrno(Target, error);
    }
    if (std::fclose(f) != 0) ThrowErrno(Target, errno);
  }
  void Commit() {
    if (std::rename(TempName.c_str(), Target.c_str()) != 0) ThrowErrno(Target, errno);
    Committed = true;
  }

  std::string Target;

 private:
  std::string TempName;
  FILE* F = nullptr;
  bool Committed = false;
};

// A second name for an existing file, so that replacing it can be undone; the second name is
// removed unless Restore puts the file back. Restore removes a file that did not exist before.
// Where no link can be made, nothing is kept.
class TBackup {
 public:
  explicit TBackup(const std::string& File) : Target(File), Name(TemporaryName(File)) {
    Existed = access(Target.c_str(), F_OK) == 0;
    Kept = Existed && link(Target.c_str(), Name.c_str()) == 0;
  }
  ~TBackup() {
    if (Kept) unlink(Name.c_str());
  }
  TBackup(const TBackup&) = delete;
  TBackup& operator=(const TBackup&) = delete;

  void Restore() {
    if (!Existed) unlink(Target.c_str());
    if (Kept && std::rename(Name.c_str(), Target.c_str()) == 0) Kept = false;
  }

 private:
  std::string Target;
  std::string Name;
  bool Existed = false;
  bool Kept = false;
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
  std::vector<uint8_t> unpacked;
  for (const auto& sample : Samples) {
    const std::vector<uint8_t>& signal = sample->SignalValues(unpacked);
    uint8_t record[RecordSize];
    TSampleMapRecord{sample->Duration, sample->Gap, sample->CaptureTime,
                     static_cast<int32_t>(signal.size())}
        .Encode(record);
    map.Write(record, RecordSize);
    dat.Write(signal.data(), signal.size());
  }
  map.Close();
  dat.Close();
  // Two renames: should the second fail, the first is undone, so the pair stays a pair.
  TBackup earlierData(dat.Target);
  dat.Commit();
  try {
    map.Commit();
  } catch (const TFileError&) {
    earlierData.Restore();
    throw;
  }
}

std::vector<std::unique_ptr<TSample>> TSignalProcessor::ReadSamples(const std::string& MapFileName,
                                                                    std::string* Note) const {
  TInputFile map(MapFileName);
  TInputFile dat(DataFileName(MapFileName));
  const int64_t records = map.Size / static_cast<int64_t>(RecordSize);  // a partial tail is ignored
  const int64_t partial = map.Size % static_cast<int64_t>(RecordSize);
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
    if (record.SignalLength > dataLeft)
      throw TFileError(TFileError::ReadBeyondEnd,
                       dat.Name + ": Read beyond end of file (record " + std::to_string(i + 1) +
                           " of " + MapFileName + " needs " + std::to_string(record.SignalLength) +
                           " bytes, " + std::to_string(dataLeft) + " are left)");
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
  if (Note) *Note = partial ? PartialRecordText(MapFileName, partial, records) : std::string();
  return samples;
}

void TSignalProcessor::LoadSamples(const std::string& MapFileName) {
  for (auto& sample : ReadSamples(MapFileName)) AddSample(std::move(sample));
}
