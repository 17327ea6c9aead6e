#include "TRegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {
constexpr const char* NotRegular = "not a regular file but ";

const char* KindOf(unsigned Mode) {
  if (S_ISDIR(Mode)) return "a folder";
  if (S_ISFIFO(Mode)) return "a pipe (FIFO)";
  if (S_ISSOCK(Mode)) return "a socket";
  if (S_ISCHR(Mode) || S_ISBLK(Mode)) return "a device";
  return "something else";
}
}  // namespace

TRegularFile::TRegularFile(const std::string& Name) {
  // Looked at before it is opened: opening a device can have effects of its own.
  struct stat info {};
  if (stat(Name.c_str(), &info) != 0) {
    FailWith(errno);
  } else if (!S_ISREG(info.st_mode)) {
    Refuse(info.st_mode);
  } else {
    Open(Name);
  }
}

// Non-blocking, in case the file was swapped for a pipe meanwhile; checked again once open.
void TRegularFile::Open(const std::string& Name) {
  Fd_ = open(Name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat info {};
  if (Fd_ < 0 || fstat(Fd_, &info) != 0) return FailWith(errno);
  if (!S_ISREG(info.st_mode)) return Refuse(info.st_mode);
  fcntl(Fd_, F_SETFL, fcntl(Fd_, F_GETFL) & ~O_NONBLOCK);
  Size_ = info.st_size;
}

TRegularFile::~TRegularFile() {
  if (Fd_ >= 0) close(Fd_);
}

int TRegularFile::Release() {
  const int fd = Fd_;
  Fd_ = -1;
  return fd;
}

void TRegularFile::FailWith(int Error) {
  if (Fd_ >= 0) close(Release());
  Errno_ = Error ? Error : EIO;
  Reason_ = std::strerror(Errno_);
}

void TRegularFile::Refuse(unsigned Mode) {
  if (Fd_ >= 0) close(Release());
  Errno_ = 0;
  Reason_ = std::string(NotRegular) + KindOf(Mode);
}
