#include "TFlipperFormat.h"

#include <cstdio>

#include "TCodeText.h"
#include "TLineReader.h"

namespace {
constexpr const char* SignalsHeader = "Filetype: IR signals file";
constexpr const char* LibraryHeader = "Filetype: IR library file";
constexpr const char* VersionLine = "Version: 1";
constexpr const char* DutyCycle = "0.330000";
constexpr size_t ValueBytes = 4;
constexpr uint32_t MaxFrequencyHz = 1000000;

// "04 00 00 00": up to four bytes in hex, least significant first.
std::optional<uint32_t> LittleEndian(std::string_view Text) {
  const std::vector<std::string_view> words = TCodeText::Words(Text);
  if (words.empty() || words.size() > ValueBytes) return std::nullopt;
  uint32_t value = 0;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::optional<uint32_t> byte = TCodeText::Hex(words[i], 2);
    if (!byte) return std::nullopt;
    value |= *byte << (8 * i);
  }
  return value;
}

std::string Bytes(uint32_t Value) {
  char text[16];
  std::snprintf(text, sizeof text, "%02X %02X %02X %02X", Value & 0xFF, Value >> 8 & 0xFF,
                Value >> 16 & 0xFF, Value >> 24);
  return text;
}
}  // namespace

struct TFlipperFormat::TSignal {
  bool Open = false;
  bool Broken = false;  // a line of it could not be read; Reason says why
  std::string Reason;
  size_t ReasonLine = 0;
  size_t Line = 0;
  std::string Name, Type, Protocol, Address, Command, Frequency;
  std::vector<std::string> Data;
};

bool TFlipperFormat::Recognizes(const std::vector<std::string>& Lines) const {
  if (Lines.empty()) return false;
  const std::string_view first = TCodeText::Trim(Lines[0]);
  return first == SignalsHeader || first == LibraryHeader;
}

bool TFlipperFormat::Finish(TSignal& Signal, TIrCode& Code, std::string& Reason) {
  Code.Name = Signal.Name;
  Code.Line = Signal.Line;
  if (Signal.Type == "parsed") {
    const std::optional<uint32_t> address = LittleEndian(Signal.Address);
    const std::optional<uint32_t> command = LittleEndian(Signal.Command);
    if (Signal.Protocol.empty())
      Reason = "parsed signal without a protocol";
    else if (!address)
      Reason = "address \"" + Signal.Address + "\" is not 1 to 4 hex bytes";
    else if (!command)
      Reason = "command \"" + Signal.Command + "\" is not 1 to 4 hex bytes";
    if (!Reason.empty()) return false;
    Code.Protocol = Signal.Protocol;
    Code.Address = *address;
    Code.Command = *command;
    return true;
  }
  if (Signal.Type != "raw") {
    Reason = Signal.Type.empty() ? "signal without a type"
                                 : "type \"" + Signal.Type + "\" is neither raw nor parsed";
    return false;
  }
  const std::optional<int64_t> frequency = TCodeText::Integer(Signal.Frequency);
  if (!Signal.Frequency.empty() && (!frequency || *frequency <= 0 || *frequency > MaxFrequencyHz)) {
    Reason = "frequency \"" + Signal.Frequency + "\" is not a carrier in Hz";
    return false;
  }
  Code.CarrierHz = frequency ? static_cast<uint32_t>(*frequency) : 0;
  for (const std::string& line : Signal.Data)
    if (!TCodeText::Durations(TCodeText::Words(line), Code.Durations, Reason)) return false;
  if (Code.Durations.empty()) Reason = "raw signal without data";
  return Reason.empty();
}

TIrCodeFile TFlipperFormat::Read(TLineReader& Lines, const TDecodeSettings&) const {
  TIrCodeFile file;
  TSignal signal;
  const auto finish = [&] {
    if (!signal.Open || file.Full) return;
    TIrCode code;
    std::string reason = signal.Reason;
    if (!signal.Broken && Finish(signal, code, reason)) {
      file.Add(std::move(code), Lines);
    } else {
      const std::string name = signal.Name.empty() ? "" : "signal \"" + signal.Name + "\": ";
      file.Problems.push_back(
          Lines.Problem(name + reason, signal.Broken ? signal.ReasonLine : signal.Line));
    }
    signal = TSignal();
  };
  std::string line;
  bool header = false;
  while (!file.Full && Lines.Next(line)) {
    if (Lines.Overlong()) {
      const std::string reason =
          "line longer than " + std::to_string(TLineReader::MaxLineLength) + " characters";
      if (signal.Open && !signal.Broken) {
        signal.Broken = true;
        signal.Reason = reason;
        signal.ReasonLine = Lines.LineNumber();
      } else if (!signal.Open) {
        file.Problems.push_back(Lines.Problem(reason));
      }
      continue;
    }
    const std::string_view text = TCodeText::Trim(line);
    if (!header) {
      if (text.empty()) continue;
      if (text != SignalsHeader && text != LibraryHeader) {
        file.Problems.push_back(Lines.Problem("not a Flipper IR file (no \"Filetype:\" line)"));
        return file;
      }
      header = true;
      continue;
    }
    if (text.empty() || text.front() == '#') continue;
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
      if (signal.Open && !signal.Broken) {
        signal.Broken = true;
        signal.Reason = TCodeText::Quoted(text, 40) + " is not a \"key: value\" line";
        signal.ReasonLine = Lines.LineNumber();
      }
      continue;
    }
    const std::string key(TCodeText::Trim(text.substr(0, colon)));
    const std::string value(TCodeText::Trim(text.substr(colon + 1)));
    if (key == "name") {
      finish();
      signal.Open = true;
      signal.Name = value;
      signal.Line = Lines.LineNumber();
    } else if (!signal.Open) {
      continue;  // Version and other lines before the first signal
    } else if (key == "type") {
      signal.Type = value;
    } else if (key == "protocol") {
      signal.Protocol = value;
    } else if (key == "address") {
      signal.Address = value;
    } else if (key == "command") {
      signal.Command = value;
    } else if (key == "frequency") {
      signal.Frequency = value;
    } else if (key == "data") {
      signal.Data.push_back(value);
    }
  }
  finish();
  if (!header) file.Problems.push_back(Lines.Problem("not a Flipper IR file (it is empty)", 1));
  return file;
}

void TFlipperFormat::Write(std::ostream& Out, const std::vector<TIrCode>& Codes) const {
  Out << SignalsHeader << '\n' << VersionLine << '\n';
  for (const TIrCode& code : Codes) {
    Out << "#\nname: " << TCodeText::OneLine(code.Name) << '\n';
    if (code.Parsed()) {
      Out << "type: parsed\nprotocol: " << code.Protocol << "\naddress: " << Bytes(code.Address)
          << "\ncommand: " << Bytes(code.Command) << '\n';
      continue;
    }
    Out << "type: raw\nfrequency: " << code.CarrierHz << "\nduty_cycle: " << DutyCycle << "\ndata:";
    for (uint32_t d : code.Durations) Out << ' ' << d;
    Out << '\n';
  }
}
