#include "TXmlDocument.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <pugixml.hpp>

#include "TRegularFile.h"

namespace {

constexpr size_t ReadChunkBytes = 64 * 1024;
constexpr size_t MaxFileBytes = 64 * 1024 * 1024;  // far beyond any protocol library
constexpr const char* TooLarge = "File is larger than 64 MiB";
constexpr int32_t UnknownStatusCode = -99;
// White-space-only text between child elements is text content too (mixed-content descriptions).
constexpr unsigned ParseOptions = pugi::parse_default | pugi::parse_ws_pcdata;

// The error number shown for each parser status: the status's number in pugixml 1.13, negated,
// so that a failure is never 0. Spelled out so the numbers stay put if the library renumbers.
int32_t ErrorNumber(pugi::xml_parse_status Status) {
  switch (Status) {
    case pugi::status_file_not_found:
      return -1;
    case pugi::status_io_error:
      return -2;
    case pugi::status_out_of_memory:
      return -3;
    case pugi::status_internal_error:
      return -4;
    case pugi::status_unrecognized_tag:
      return -5;
    case pugi::status_bad_pi:
      return -6;
    case pugi::status_bad_comment:
      return -7;
    case pugi::status_bad_cdata:
      return -8;
    case pugi::status_bad_doctype:
      return -9;
    case pugi::status_bad_pcdata:
      return -10;
    case pugi::status_bad_start_element:
      return -11;
    case pugi::status_bad_attribute:
      return -12;
    case pugi::status_bad_end_element:
      return -13;
    case pugi::status_end_element_mismatch:
      return -14;
    case pugi::status_append_invalid_root:
      return -15;
    case pugi::status_no_document_element:
      return -16;
    default:
      return UnknownStatusCode;
  }
}

// Failures of the file itself have no place in the text, hence no line and column.
bool HasPosition(pugi::xml_parse_status Status) {
  return Status != pugi::status_file_not_found && Status != pugi::status_io_error &&
         Status != pugi::status_out_of_memory;
}

// Reads the whole file into Content; the parser status that describes a failure otherwise.
// A folder, pipe or device is refused with Refusal saying what it is, before anything waits.
pugi::xml_parse_status ReadFile(const std::string& FileName, std::string& Content,
                                std::string& Refusal) {
  TRegularFile regular(FileName);
  if (!regular.IsOpen() && !regular.Errno()) {
    Refusal = FileName + ": " + regular.Reason();
    return pugi::status_io_error;
  }
  if (!regular.IsOpen()) {
    const int error = regular.Errno();
    return error == ENOENT || error == ENOTDIR ? pugi::status_file_not_found
                                               : pugi::status_io_error;
  }
  std::FILE* file = fdopen(regular.Fd(), "rb");
  if (!file) return pugi::status_io_error;
  regular.Release();
  std::string chunk(ReadChunkBytes, '\0');
  size_t got = 0;
  // A file that grows while it is read stops past the limit instead of filling memory.
  while (Content.size() <= MaxFileBytes &&
         (got = std::fread(chunk.data(), 1, chunk.size(), file)) > 0) {
    Content.append(chunk, 0, got);
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  return failed ? pugi::status_io_error : pugi::status_ok;
}

}  // namespace

TXmlDocument::TXmlDocument() : Document_(std::make_unique<pugi::xml_document>()) {}

TXmlDocument::~TXmlDocument() = default;

bool TXmlDocument::Load(const std::string& FileName) {
  Document_->reset();
  Error_ = {};
  std::string content, refusal;
  const pugi::xml_parse_status read = ReadFile(FileName, content, refusal);
  if (read != pugi::status_ok) {
    SetError(read, content, 0);
    if (!refusal.empty()) Error_.Reason = refusal;
    return false;
  }
  if (content.size() > MaxFileBytes) {
    SetError(pugi::status_io_error, content, 0);
    Error_.Reason = TooLarge;
    return false;
  }
  const pugi::xml_parse_result parsed =
      Document_->load_buffer(content.data(), content.size(), ParseOptions);
  if (parsed) return true;
  Document_->reset();
  SetError(parsed.status, content, parsed.offset);
  return false;
}

TXmlNode TXmlDocument::Root() const {
  return TXmlNode(Document_->internal_object());
}

void TXmlDocument::SetError(int Status, const std::string& Content, std::ptrdiff_t Offset) {
  const auto status = static_cast<pugi::xml_parse_status>(Status);
  pugi::xml_parse_result result;
  result.status = status;
  Error_.Code = ErrorNumber(status);
  Error_.Reason = result.description();
  if (!HasPosition(status)) return;
  const size_t end =
      std::min(static_cast<size_t>(std::max<std::ptrdiff_t>(Offset, 0)), Content.size());
  const auto first = Content.begin();
  Error_.Line = 1 + static_cast<int32_t>(std::count(first, first + end, '\n'));
  size_t lineStart = 0;
  if (end > 0) {
    const size_t lastBreak = Content.rfind('\n', end - 1);
    if (lastBreak != std::string::npos) lineStart = lastBreak + 1;
  }
  Error_.Column = static_cast<int32_t>(end - lineStart) + 1;
}
