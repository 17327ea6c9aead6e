#include "TSignalSource.h"

#include <algorithm>
#include <numeric>

#include "TCodeError.h"
#include "TCodeExport.h"
#include "TCodeLibrary.h"
#include "TFlipperProtocols.h"
#include "TFrameRenderer.h"
#include "TIrFormats.h"
#include "TNearestName.h"
#include "TRepeatRules.h"
#include "TSample.h"
#include "TSendError.h"

namespace {
constexpr const char* ComplementSuffix = "_inv";
constexpr const char* RawFormat = "mode2";  // an export format that writes every code as runs

double Length(const std::vector<double>& Runs) {
  return std::accumulate(Runs.begin(), Runs.end(), 0.0);
}

// The length of Runs up to the end of its last mark.
double Marked(const std::vector<double>& Runs) {
  return Length(Runs) - (Runs.size() % 2 == 0 && !Runs.empty() ? Runs.back() : 0);
}

// Makes the silence after Runs' last mark at least Micros long.
void WidenSilence(std::vector<double>& Runs, double Micros) {
  if (Runs.empty() || Micros <= 0) return;
  if (Runs.size() % 2) Runs.push_back(0);
  Runs.back() = std::max(Runs.back(), Micros);
}

constexpr unsigned WidestField = 64;  // bits

// The largest value of a field of Bits bits.
uint64_t Widest(unsigned Bits) {
  return Bits >= WidestField ? ~uint64_t{0} : (uint64_t{1} << Bits) - 1;
}

uint64_t Complement(uint64_t Value, unsigned Bits) {
  return ~Value & Widest(Bits);
}
}  // namespace

TSignalSource::TSignalSource(std::shared_ptr<const TCodeLibrary> LibraryIn)
    : Library(LibraryIn ? std::move(LibraryIn) : std::make_shared<const TCodeLibrary>()) {}

// The frame renderer's runs for Protocol's definition: the one call into its API.
TSignalSource::TRendered TSignalSource::Render(const std::string& Protocol,
                                               const std::vector<uint64_t>& Values) const {
  const TDefinition* definition = Library->Find(Protocol);
  if (!definition) throw TSendError("unknown protocol " + Protocol);
  try {
    return {TFrameRenderer::Render(*definition, Values), Library->CarrierHz(Protocol)};
  } catch (const TCodeError& e) {
    throw TSendError(e.what());
  }
}

std::vector<TSignalSource::TField> TSignalSource::FieldsOf(const std::string& Protocol) const {
  const TDefinition* definition = Library->Find(Protocol);
  if (!definition) {
    throw TSendError("unknown protocol \"" + Protocol + "\"" +
                     TNearestName::Hint(Protocol, Protocols()));
  }
  std::vector<TField> fields;
  for (const TDefinition::TItem& item : definition->Items)
    if (!item.IsDelimiter) fields.push_back({item.Name.value_or(""), item.Length});
  return fields;
}

std::vector<std::string> TSignalSource::Protocols() const {
  std::vector<std::string> names;
  for (const TDefinition& definition : Library->Definitions()) names.push_back(definition.Name);
  return names;
}

// One value per field of Fields from Given, checked for names and widths.
std::vector<uint64_t> TSignalSource::Values(const std::string& Protocol,
                                            const std::vector<TField>& Fields,
                                            const TFieldValues& Given) const {
  std::vector<std::string> names;
  for (const TField& field : Fields) names.push_back(field.Name);
  for (const auto& [name, value] : Given) {
    if (std::find(names.begin(), names.end(), name) == names.end()) {
      throw TSendError(Protocol + " has no field named \"" + name + "\"" +
                       TNearestName::Hint(name, names) +
                       "; its fields: " + (names.empty() ? "none" : "") +
                       std::accumulate(names.begin(), names.end(), std::string(),
                                       [](std::string a, const std::string& b) {
                                         return a.empty() ? b : a + " " + b;
                                       }));
    }
  }
  const auto find = [&](const std::string& Name) {
    return std::find_if(Given.begin(), Given.end(), [&](const auto& g) { return g.first == Name; });
  };
  std::vector<uint64_t> values;
  for (const TField& field : Fields) {
    uint64_t value = 0;
    if (auto given = find(field.Name); given != Given.end()) {
      value = given->second;
    } else if (field.Name.ends_with(ComplementSuffix)) {
      const std::string base = field.Name.substr(0, field.Name.size() - 4);
      const auto of = find(base);
      if (of == Given.end()) throw TSendError(Protocol + ": give " + base + " or " + field.Name);
      value = Complement(of->second, field.Bits);
    } else {
      throw TSendError(Protocol + ": the field " + field.Name + " has no value");
    }
    if (value > Widest(field.Bits)) {
      throw TSendError(Protocol + ": " + field.Name + "=" + std::to_string(value) +
                       " is wider than its " + std::to_string(field.Bits) + " bits (at most " +
                       std::to_string(Widest(field.Bits)) + ")");
    }
    values.push_back(value);
  }
  return values;
}

TIrSignal TSignalSource::FromFields(const std::string& Protocol, const TFieldValues& Fields) const {
  const std::vector<TField> fields = FieldsOf(Protocol);
  const TRendered frame = Render(Protocol, Values(Protocol, fields, Fields));
  TIrSignal signal{Protocol, frame.CarrierHz, frame.Runs, {}, 0};
  AddRepeat(Protocol, Fields, signal);
  return signal;
}

// Signal's repeat frame (its fields of the same names as the frame's, complements worked out
// again), period and the silences after its frames.
void TSignalSource::AddRepeat(const std::string& Protocol, const TFieldValues& Given,
                              TIrSignal& Signal) const {
  const TRepeatRules::TRule rule = TRepeatRules::Of(Protocol);
  Signal.Alternates = rule.Alternates;
  const std::string entry = rule.RepeatEntry;
  if (!entry.empty() && Library->Find(entry)) {
    const std::vector<TField> fields = FieldsOf(entry);
    const auto find = [&](const std::string& Name) {
      return std::find_if(Given.begin(), Given.end(),
                          [&](const auto& g) { return g.first == Name; });
    };
    TFieldValues given;
    for (const TField& field : fields) {
      const std::string base = field.Name.ends_with(ComplementSuffix)
                                   ? field.Name.substr(0, field.Name.size() - 4)
                                   : std::string();
      if (const auto value = find(field.Name); value != Given.end())
        given.push_back(*value);
      else if (const auto of = find(base); !base.empty() && of != Given.end())
        given.push_back({field.Name, Complement(of->second, field.Bits)});
    }
    Signal.Repeat = Render(entry, Values(entry, fields, given)).Runs;
  }
  const std::vector<double>& repeated = Signal.Repeat.empty() ? Signal.Frame : Signal.Repeat;
  Signal.PeriodMicros = TRepeatRules::Period(rule, Marked(repeated));
  WidenSilence(Signal.Frame, rule.GapMicros);
  if (Signal.PeriodMicros <= 0) WidenSilence(Signal.Repeat, rule.GapMicros);
}

TIrSignal TSignalSource::FromCode(const TIrCode& Code) const {
  if (Code.Parsed()) {
    TFlipperProtocols::TFrame frame;
    try {
      frame = TFlipperProtocols::ToFrame({Code.Protocol, Code.Address, Code.Command}, *Library);
    } catch (const TCodeError& e) {
      throw TSendError(e.what());
    }
    const std::string& protocol = frame.Definition->Name;
    const std::vector<TField> fields = FieldsOf(protocol);
    TFieldValues named;
    for (size_t i = 0; i < fields.size() && i < frame.Values.size(); ++i)
      named.push_back({fields[i].Name, frame.Values[i]});
    TIrSignal signal = FromFields(protocol, named);
    if (!Code.Name.empty()) signal.Name = Code.Name;
    if (Code.CarrierHz) signal.CarrierHz = Code.CarrierHz;
    return signal;
  }
  if (Code.Durations.empty()) throw TSendError("the code " + Code.Name + " holds no mark");
  TIrSignal signal{
      Code.Name, Code.CarrierHz, {Code.Durations.begin(), Code.Durations.end()}, {}, 0};
  if (Code.GapMicros) signal.Frame.push_back(Code.GapMicros);
  signal.PeriodMicros = TRepeatRules::Period(TRepeatRules::Of(""), Marked(signal.Frame));
  if (Code.GapMicros) signal.PeriodMicros = Length(signal.Frame);
  return signal;
}

TIrSignal TSignalSource::FromSample(const TSample& Sample) const {
  if (Sample.Protocol && Sample.Protocol->Known() && Library->Find(Sample.Protocol->ProtocolName)) {
    TFieldValues fields;
    for (const TProtocolField& field : Sample.Protocol->Fields)
      fields.push_back({field.Name, field.Value});
    return FromFields(Sample.Protocol->ProtocolName, fields);
  }
  TCodeExport runs(*TIrFormats::Find(RawFormat), Library);
  if (!runs.Add(Sample, Sample.Name)) throw TSendError("the packet holds no mark");
  return FromCode(runs.Codes().front());
}
