#include "TActionFile.h"

#include <cctype>
#include <charconv>
#include <map>
#include <sstream>

#include "TRegularFileStream.h"

namespace {
constexpr char CommentMark = '#';
constexpr char OptionMark = '+';
const char* const Separator = "=";
const char* const Blanks = " \t\r\v\f";
constexpr uint32_t MaxFieldValue = 65535;  // decoded fields are 16 bits
constexpr size_t MaxLineLength = 64 * 1024;
constexpr size_t MaxHexDigits = 1024;                       // a generic frame's data: 4096 bits
constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";  // UTF-8's, which some editors write
const char* const TooLarge = ": larger than 1 MB; an actions file holds a line per action";

// The next line of In into Line, reading no more of a line than MaxLineLength + 1 characters
// (the rest of a longer one is skipped). False at the end.
bool ReadLine(std::istream& In, std::string& Line) {
  Line.clear();
  std::streambuf* buffer = In.rdbuf();
  using traits = std::streambuf::traits_type;
  int c = buffer ? buffer->sbumpc() : traits::eof();
  if (traits::eq_int_type(c, traits::eof())) return false;
  for (; !traits::eq_int_type(c, traits::eof()) && c != '\n'; c = buffer->sbumpc())
    if (Line.size() <= MaxLineLength) Line += traits::to_char_type(c);
  return true;
}

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

bool HasHexPrefix(const std::string& Text) {
  return Text.size() > 2 && Text[0] == '0' && (Text[1] == 'x' || Text[1] == 'X');
}

// Value as a field value: decimal or 0x hexadecimal digits only, at most 65535.
bool FieldValue(const std::string& Text, uint32_t& Value) {
  const bool hex = HasHexPrefix(Text);
  const char* first = Text.data() + (hex ? 2 : 0);
  const char* end = Text.data() + Text.size();
  auto [last, error] = std::from_chars(first, end, Value, hex ? 16 : 10);
  return first != end && error == std::errc() && last == end && Value <= MaxFieldValue;
}

// Text as hex bytes (a "0x" prefix dropped, upper case), or "" when it holds anything else.
std::string HexDigitsOf(const std::string& Text) {
  std::string digits = Text.substr(HasHexPrefix(Text) ? 2 : 0);
  if (digits.empty() || digits.size() > MaxHexDigits) return "";
  for (char& c : digits) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return "";
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return digits;
}
}  // namespace

std::vector<TAction> TActionFile::Read(const std::string& FileName) {
  TRegularFileStream file(FileName);
  if (!file.IsOpen()) throw TError(FileName + ": cannot be read: " + file.Reason());
  if (file.Size() > static_cast<int64_t>(MaxFileBytes)) throw TError(FileName + TooLarge);
  std::vector<TAction> actions = Parse(file, FileName);
  if (file.ReadFailed()) throw TError(FileName + ": cannot be read: read error");
  return actions;
}

std::vector<TAction> TActionFile::Parse(std::istream& Text, const std::string& FileName) {
  std::vector<TAction> actions;
  std::string line;
  size_t bytes = 0;
  for (int number = 1; ReadLine(Text, line); ++number) {
    const std::string where = FileName + ":" + std::to_string(number) + ": ";
    if (line.size() > MaxLineLength) throw TError(where + "the line is too long");
    bytes += line.size() + 1;
    if (bytes > MaxFileBytes) throw TError(FileName + TooLarge);
    if (number == 1 && line.starts_with(ByteOrderMark)) line.erase(0, ByteOrderMark.size());
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
  const bool numeric = FieldValue(value, number);
  const std::string digits = HexDigitsOf(value);
  if (!numeric && digits.empty())
    throw TLineError("field " + Quoted(Word) +
                     ": the value must be a number 0..65535 or hex bytes (a generic frame's data)");
  for (const TProtocolField& field : Action.Fields)
    if (field.Name == name) throw TLineError("field " + Quoted(name) + " is named twice");
  Action.Fields.push_back({name, numeric ? number : TAction::NoNumber, digits});
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
