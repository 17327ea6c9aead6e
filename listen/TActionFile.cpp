#include "TActionFile.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {
constexpr char CommentMark = '#';
constexpr char OptionMark = '+';
const char* const Separator = "=";
const char* const Blanks = " \t\r\v\f";
constexpr uint32_t MaxFieldValue = 65535;  // decoded fields are 16 bits
constexpr size_t MaxLineLength = 64 * 1024;

// What an option word does to its action: one entry per option.
const std::map<std::string, bool TAction::*> Options = {{"+repeat", &TAction::WhileHeld}};

// A line-level failure; Read adds the file name and line number.
struct TLineError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string Trimmed(const std::string& Text) {
  const size_t first = Text.find_first_not_of(Blanks);
  if (first == std::string::npos) return "";
  return Text.substr(first, Text.find_last_not_of(Blanks) - first + 1);
}

std::string Quoted(const std::string& Text) {
  return "\"" + Text + "\"";
}

// Value as a field value: decimal or 0x hexadecimal digits only, at most 65535.
bool FieldValue(const std::string& Text, uint32_t& Value) {
  const bool hex = Text.size() > 2 && Text[0] == '0' && (Text[1] == 'x' || Text[1] == 'X');
  const char* first = Text.data() + (hex ? 2 : 0);
  const char* end = Text.data() + Text.size();
  auto [last, error] = std::from_chars(first, end, Value, hex ? 16 : 10);
  return first != end && error == std::errc() && last == end && Value <= MaxFieldValue;
}
}  // namespace

std::vector<TAction> TActionFile::Read(const std::string& FileName) {
  std::error_code error;
  if (std::filesystem::is_directory(FileName, error))
    throw TError(FileName + ": is a directory, not an actions file");
  std::ifstream file(FileName, std::ios::binary);
  if (!file) throw TError(FileName + ": cannot be read: " + std::strerror(errno));
  return Parse(file, FileName);
}

std::vector<TAction> TActionFile::Parse(std::istream& Text, const std::string& FileName) {
  std::vector<TAction> actions;
  std::string line;
  for (int number = 1; std::getline(Text, line); ++number) {
    const std::string where = FileName + ":" + std::to_string(number) + ": ";
    if (line.size() > MaxLineLength) throw TError(where + "the line is too long");
    if (line.find('\0') != std::string::npos) throw TError(where + "the line holds a zero byte");
    const std::string text = Trimmed(line);
    if (text.empty() || text[0] == CommentMark) continue;
    try {
      actions.push_back(ParseLine(text));
    } catch (const TLineError& e) {
      throw TError(where + e.what());
    }
    actions.back().Line = number;
  }
  if (Text.bad()) throw TError(FileName + ": cannot be read: " + std::strerror(errno));
  return actions;
}

// "PROTOCOL WORDS field=value ... [+option] = COMMAND" of a line without outer blanks.
TAction TActionFile::ParseLine(const std::string& Line) {
  TAction action;
  std::istringstream words(Line);
  std::string word;
  bool separated = false;
  while (!separated && words >> word) {
    if (word == Separator) {
      separated = true;
    } else if (word[0] == OptionMark) {
      AddOption(action, word);
    } else if (word.find('=') != std::string::npos) {
      AddField(action, word);
    } else if (!action.Fields.empty()) {
      throw TLineError(Quoted(word) + " follows the fields: the protocol name comes first");
    } else {
      action.Protocol += (action.Protocol.empty() ? "" : " ") + word;
    }
  }
  if (!separated)
    throw TLineError("no \" = \" before a command (PROTOCOL field=value ... = COMMAND)");
  if (action.Protocol.empty()) throw TLineError("no protocol name before \"=\"");
  std::string rest;
  std::getline(words, rest);
  action.Command = Trimmed(rest);
  if (action.Command.empty()) throw TLineError("no command after \"=\"");
  return action;
}

void TActionFile::AddField(TAction& Action, const std::string& Word) {
  const size_t equals = Word.find('=');
  const std::string name = Word.substr(0, equals);
  const std::string value = Word.substr(equals + 1);
  if (name.empty()) throw TLineError("field " + Quoted(Word) + " has no name");
  uint32_t number = 0;
  if (!FieldValue(value, number))
    throw TLineError("field " + Quoted(Word) + ": the value must be a number 0..65535");
  for (const TProtocolField& field : Action.Fields)
    if (field.Name == name) throw TLineError("field " + Quoted(name) + " is named twice");
  Action.Fields.push_back({name, number});
}

void TActionFile::AddOption(TAction& Action, const std::string& Word) {
  auto option = Options.find(Word);
  if (option == Options.end()) {
    std::string known;
    for (const auto& [name, member] : Options) known += (known.empty() ? "" : ", ") + name;
    throw TLineError("unknown option " + Quoted(Word) + " (known: " + known + ")");
  }
  Action.*(option->second) = true;
}
