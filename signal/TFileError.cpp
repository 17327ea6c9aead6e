#include "TFileError.h"

#include <cerrno>

int TFileError::CodeOfErrno(int Errno) {
  switch (Errno) {
    case ENOENT:
      return FileNotFound;
    case ENAMETOOLONG:
    case ENOTDIR:
    case EINVAL:
      return InvalidFilename;
    case EMFILE:
    case ENFILE:
      return TooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
      return AccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return DiskFull;
    default:
      return Errno;
  }
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
