#include "TUserLibrary.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {
const char* const ClosingTag = "</protocols>";
const char* const EmptyLibrary =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<protocols>\n</protocols>\n";
const char* const TemporarySuffix = ".learning-";
}  // namespace

std::vector<std::string> TUserLibrary::Names(const std::string& Xml) {
  pugi::xml_document document;
  std::vector<std::string> names;
  if (!document.load_string(Xml.c_str())) return names;
  for (const pugi::xpath_node& node : document.select_nodes("protocols/protocol[@name]"))
    names.push_back(node.node().attribute("name").value());
  return names;
}

std::string TUserLibrary::Add(const std::string& FileName, const std::string& Template,
                              const std::string& Name, const std::string& Definitions) {
  const std::string prefix = FileName + ": ";
  if (Name.find_first_not_of(" \t\r\n") == std::string::npos)
    return prefix + "a learned protocol needs a name";
  std::error_code error;
  std::string text;
  const bool exists = fs::exists(FileName, error);
  if (exists && !Read(FileName, text)) return prefix + "cannot be read: " + std::strerror(errno);
  if (!exists && Template.empty()) text = EmptyLibrary;
  if (!exists && !Template.empty() && !Read(Template, text))
    return Template + ": cannot be read: " + std::strerror(errno);
  const size_t closing = text.rfind(ClosingTag);
  pugi::xml_document check;
  if (closing == std::string::npos || !check.load_string(text.c_str()))
    return (exists ? prefix : Template + ": ") + "is not a protocol library";
  const std::vector<std::string> names = Names(text);
  if (std::find(names.begin(), names.end(), Name) != names.end())
    return prefix + "a protocol named \"" + Name + "\" is already there; choose another name";
  text.insert(closing, Definitions);
  if (Names(text).size() <= names.size())
    return prefix + "the learned definitions are not well-formed protocols";
  return Write(FileName, text);
}

bool TUserLibrary::Read(const std::string& FileName, std::string& Text) {
  std::ifstream in(FileName, std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  Text = content.str();
  return !in.bad();
}

// Writes Text beside FileName and renames it over FileName, so that a reader sees the old file
// or the new one, never a part.
std::string TUserLibrary::Write(const std::string& FileName, const std::string& Text) {
  std::error_code error;
  const fs::path folder = fs::path(FileName).parent_path();
  if (!folder.empty()) fs::create_directories(folder, error);
  if (error) return FileName + ": cannot create " + folder.string() + ": " + error.message();
  const std::string temporary = FileName + TemporarySuffix + std::to_string(::getpid());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << Text;
    out.flush();
    if (!out) {
      const std::string reason = std::strerror(errno);
      fs::remove(temporary, error);
      return FileName + ": cannot write: " + reason;
    }
  }
  fs::rename(temporary, FileName, error);
  if (!error) return "";
  const std::string reason = error.message();
  fs::remove(temporary, error);
  return FileName + ": cannot write: " + reason;
}
