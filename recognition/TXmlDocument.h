#pragma once
// An XML document read completely from a file, with the parse error of a failed load.

#include <cstdint>
#include <memory>
#include <string>

#include "TXmlNode.h"

namespace pugi {
class xml_document;
}

class TXmlDocument {
 public:
  // Why the last Load failed: a signed error number, the parser's reason text and the line and
  // column (both from 1) where parsing stopped; 0 and 0 when the file itself could not be read.
  struct TParseError {
    int32_t Code = 0;
    std::string Reason;
    int32_t Line = 0;
    int32_t Column = 0;
  };

  TXmlDocument();
  ~TXmlDocument();
  TXmlDocument(const TXmlDocument&) = delete;
  TXmlDocument& operator=(const TXmlDocument&) = delete;

  // Reads and parses FileName completely before it returns. False when the file is missing,
  // unreadable or not well-formed: the document is then empty and ParseError says why.
  bool Load(const std::string& FileName);
  // The error of the last failed Load; Code 0 after a successful one.
  const TParseError& ParseError() const { return Error_; }
  // The document node, against which relative queries such as "protocols/protocol" run.
  TXmlNode Root() const;

 private:
  void SetError(int Status, const std::string& Content, std::ptrdiff_t Offset);

  std::unique_ptr<pugi::xml_document> Document_;
  TParseError Error_;
};
