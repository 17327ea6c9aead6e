#pragma once
// The user's own protocol library, where learned definitions are added: a copy of the library
// in use, made when the file is first needed, with the learned <protocol> elements before its
// closing tag. Every change replaces the file atomically (a temporary file, then a rename).

#include <string>
#include <vector>

class TUserLibrary {
 public:
  // Adds Definitions (<protocol> elements, all named Name) to FileName. When FileName does not
  // exist it starts as a copy of Template (the library in use; an empty library when Template is
  // ""). Returns "" or why nothing changed, naming the file: the name is blank or already a
  // protocol's there, the file is not a protocol library, the definitions are not well-formed
  // XML, or it cannot be written. Never throws except when memory runs out.
  static std::string Add(const std::string& FileName, const std::string& Template,
                         const std::string& Name, const std::string& Definitions);
  // The names of the protocols in the library text Xml, in file order; nothing when it is not
  // well-formed. Never fails.
  static std::vector<std::string> Names(const std::string& Xml);

 private:
  static bool Read(const std::string& FileName, std::string& Text);
  static std::string Write(const std::string& FileName, const std::string& Text);
};
