#include "TFileError.h"

#include <cerrno>

namespace {
// The table's code for an errno value; 0 for one the table has no entry for.
int TableCode(int Errno) {
  switch (Errno) {
    case ENOENT:
      return TFileError::FileNotFound;
    case ENAMETOOLONG:
    case ENOTDIR:
    case EINVAL:
      return TFileError::InvalidFilename;
    case EMFILE:
    case ENFILE:
      return TFileError::TooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
      return TFileError::AccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return TFileError::DiskFull;
    default:
      return 0;
  }
}
}  // namespace

TFileError TFileError::FromErrno(int Errno) {
  if (int code = TableCode(Errno)) return TFileError(code);
  return TFileError(Errno, "I/O error " + std::to_string(Errno));
}

std::string TFileError::TextOf(int Code) {
  switch (Code) {
    case FileNotFound:
      return "File not found";
    case InvalidFilename:
      return "Invalid filename";
    case TooManyOpenFiles:
      return "Too many open files";
    case AccessDenied:
      return "File access denied";
    case ReadBeyondEnd:
      return "Read beyond end of file";
    case DiskFull:
      return "Disk full";
    case InvalidNumericInput:
      return "Invalid numeric input";
    default:
      return "I/O error " + std::to_string(Code);
  }
}
