#include "TLircRemote.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <optional>

#include "TCodeError.h"
#include "TCodeText.h"
#include "TIrCode.h"

namespace {
constexpr uint64_t MaxMicros = UINT32_MAX;  // one parameter's duration, and one drawn run

// Flags that change the frame in a way no other flag here describes.
constexpr std::string_view UnsupportedFlags[] = {"XMP",    "GRUNDIG", "BO",
                                                 "SERIAL", "RCMM",    "GOLDSTAR"};
// Numeric parameters of repeats, toggling and tolerances: read, left aside.
constexpr std::string_view NotShapingFrames[] = {"toggle_bit_mask",
                                                 "toggle_bit",
                                                 "repeat_bit",
                                                 "toggle_mask",
                                                 "eps",
                                                 "aeps",
                                                 "min_repeat",
                                                 "min_code_repeat",
                                                 "duty_cycle",
                                                 "repeat_gap",
                                                 "ignore_mask",
                                                 "suppress_repeat"};
// Flags that concern repeat frames only.
constexpr std::string_view RepeatFlags[] = {"NO_HEAD_REP", "NO_FOOT_REP", "REPEAT_HEADER"};

std::string Hex(uint64_t Value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(Value));
  return text;
}

bool WiderThan(uint64_t Value, unsigned Bits) {
  return Bits < TLircRemote::MaxBits && Value >> Bits != 0;
}

template <size_t N>
bool Among(std::string_view Word, const std::string_view (&List)[N]) {
  for (std::string_view item : List)
    if (item == Word) return true;
  return false;
}
}  // namespace

// The runs of one frame as they are built: mark first, same levels merged, nothing empty.
class TLircRemote::TFrame {
 public:
  void Add(bool Mark, uint64_t Micros) {
    if (Micros == 0) return;
    if (Runs.empty() && !Mark) return;  // silence before the first mark is idle line
    if (!Runs.empty() && LastMark == Mark) {
      Runs.back() += Micros;
      return;
    }
    Runs.push_back(Micros);
    LastMark = Mark;
  }
  void Pair(TPair Timing) {
    Add(true, Timing.Mark);
    Add(false, Timing.Space);
  }
  bool EndsInSpace() const { return !Runs.empty() && !LastMark; }
  uint64_t Length() const { return std::accumulate(Runs.begin(), Runs.end(), uint64_t{0}); }

  std::vector<uint64_t> Runs;
  bool LastMark = false;
};

bool TLircRemote::Knows(std::string_view Key) {
  TLircRemote probe;
  return Key == "flags" || Key == "name" || probe.PairNamed(Key) || probe.DurationNamed(Key) ||
         probe.ValueNamed(Key) || probe.BitCountNamed(Key);
}

std::string TLircRemote::Set(const std::vector<std::string_view>& Words) {
  const std::string_view key = Words.front();
  if (key == "flags") return SetFlags(Words);
  const std::string name = TCodeText::Quoted(key, 20);
  std::vector<uint64_t> values;
  for (size_t i = 1; i < Words.size(); ++i) {
    const std::optional<uint64_t> value = TCodeText::Unsigned(Words[i]);
    if (!value) return name + ": " + TCodeText::Quoted(Words[i], 20) + " is not a number";
    values.push_back(*value);
  }
  const auto duration = [&](size_t At, uint32_t& Out) -> std::string {
    if (values[At] > MaxMicros)
      return name + ": " + std::to_string(values[At]) + " us is out of range";
    Out = static_cast<uint32_t>(values[At]);
    return "";
  };
  if (TPair* pair = PairNamed(key)) {
    if (values.size() != 2) return name + " needs two numbers, a mark and a space in us";
    const std::string problem = duration(0, pair->Mark);
    return problem.empty() ? duration(1, pair->Space) : problem;
  }
  if (uint32_t* micros = DurationNamed(key)) {
    // "gap" may give a second, longer gap for long frames: the first is the usual one.
    if (values.empty() || (values.size() > 1 && key != "gap")) return name + " needs one number";
    return duration(0, *micros);
  }
  if (uint64_t* value = ValueNamed(key)) {
    if (values.size() != 1) return name + " needs one number";
    *value = values[0];
    return "";
  }
  if (unsigned* bits = BitCountNamed(key)) {
    if (values.size() != 1) return name + " needs one number";
    const uint64_t least = key == "bits" ? 1 : 0;
    if (values[0] < least || values[0] > MaxBits)
      return name + " " + std::to_string(values[0]) + " is out of range (" + std::to_string(least) +
             " to " + std::to_string(MaxBits) + ")";
    *bits = static_cast<unsigned>(values[0]);
    return "";
  }
  return "";
}

std::string TLircRemote::SetFlags(const std::vector<std::string_view>& Words) {
  std::string text;
  for (size_t i = 1; i < Words.size(); ++i) text += Words[i];
  bool spaceEnc = false, shift = false, rc5 = false, rc6 = false;
  for (size_t start = 0; start <= text.size();) {
    const size_t bar = std::min(text.find('|', start), text.size());
    const std::string_view flag = std::string_view(text).substr(start, bar - start);
    start = bar + 1;
    if (flag.empty() || flag == "CONST_LENGTH" || flag == "REVERSE" || flag == "SPACE_FIRST" ||
        flag == "RAW_CODES") {
      ConstLength |= flag == "CONST_LENGTH";
      Reverse |= flag == "REVERSE";
      SpaceFirst |= flag == "SPACE_FIRST";
      RawCodes |= flag == "RAW_CODES";
    } else if (flag == "SPACE_ENC" || flag == "SHIFT_ENC" || flag == "RC5" || flag == "RC6") {
      spaceEnc |= flag == "SPACE_ENC";
      shift |= flag == "SHIFT_ENC";
      rc5 |= flag == "RC5";
      rc6 |= flag == "RC6";
    } else if (Among(flag, UnsupportedFlags)) {
      return "flag " + std::string(flag) + " is not read (its frames are drawn another way)";
    } else if (!Among(flag, RepeatFlags)) {
      return "unknown flag " + TCodeText::Quoted(flag, 20);
    }
  }
  if ((rc5 && rc6) || (spaceEnc && (shift || rc5 || rc6)))
    return "flags " + TCodeText::Quoted(text, 60) + " name two encodings";
  Encoding = rc6 ? TEncoding::Rc6 : (rc5 || shift) ? TEncoding::Rc5 : TEncoding::Space;
  return "";
}

TLircRemote::TPair* TLircRemote::PairNamed(std::string_view Key) {
  if (Key == "header") return &Header;
  if (Key == "one") return &One;
  if (Key == "zero") return &Zero;
  if (Key == "foot") return &Foot;
  if (Key == "pre") return &Pre;
  if (Key == "post") return &Post;
  if (Key == "repeat") return &IgnoredPair;
  return nullptr;
}

uint32_t* TLircRemote::DurationNamed(std::string_view Key) {
  if (Key == "plead") return &Lead;
  if (Key == "ptrail") return &Trail;
  if (Key == "gap") return &Gap;
  if (Key == "frequency") return &Carrier;
  return nullptr;
}

uint64_t* TLircRemote::ValueNamed(std::string_view Key) {
  if (Key == "pre_data") return &PreData;
  if (Key == "post_data") return &PostData;
  if (Key == "rc6_mask") return &Rc6Mask;
  if (Among(Key, NotShapingFrames)) return &Ignored;
  return nullptr;
}

unsigned* TLircRemote::BitCountNamed(std::string_view Key) {
  if (Key == "bits") return &CodeBits;
  if (Key == "pre_data_bits") return &PreDataBits;
  if (Key == "post_data_bits") return &PostDataBits;
  return nullptr;
}

std::string TLircRemote::Problem() const {
  if (CodeBits == 0) return "no \"bits\" line";
  if (WiderThan(PreData, PreDataBits))
    return "pre_data " + Hex(PreData) + " is wider than its " + std::to_string(PreDataBits) +
           " bits";
  if (WiderThan(PostData, PostDataBits))
    return "post_data " + Hex(PostData) + " is wider than its " + std::to_string(PostDataBits) +
           " bits";
  const bool biphase = Encoding != TEncoding::Space;
  const auto empty = [&](TPair Pair) {
    return biphase ? Pair.Mark == 0 || Pair.Space == 0 : Pair.Mark == 0 && Pair.Space == 0;
  };
  if (empty(One) || empty(Zero))
    return biphase ? "no half-bit times in \"one\" and \"zero\""
                   : "no \"one\" and \"zero\" timings";
  if (!biphase && One.Mark == Zero.Mark && One.Space == Zero.Space)
    return "\"one\" and \"zero\" are the same";
  return "";
}

void TLircRemote::Render(const std::vector<uint64_t>& Codes, TIrCode& Code) const {
  const uint64_t gap = Gap ? Gap : DefaultGapMicros;
  std::vector<uint64_t> runs;  // every frame, mark first, with the silences between them
  uint64_t silence = 0;        // after the last frame so far
  for (const uint64_t value : Codes) {
    TFrame frame;
    Frame(value, frame);
    if (frame.Runs.empty()) throw TCodeError("the frame of " + Hex(value) + " holds no mark");
    if (frame.EndsInSpace()) frame.Runs.pop_back();  // LIRC sends the gap in its place
    // CONST_LENGTH: the gap is the frame's period, when the frame is shorter than it.
    const uint64_t length = frame.Length();
    const uint64_t after = ConstLength && gap > length ? gap - length : gap;
    if (!runs.empty()) runs.push_back(silence);
    runs.insert(runs.end(), frame.Runs.begin(), frame.Runs.end());
    silence = after;
    if (runs.size() > TIrCode::MaxDurations)
      throw TCodeError("more than " + std::to_string(TIrCode::MaxDurations) + " durations");
  }
  runs.push_back(silence);
  for (const uint64_t run : runs)
    if (run > MaxMicros) throw TCodeError("a run of " + std::to_string(run) + " us");
  Code.Durations.assign(runs.begin(), runs.end() - 1);
  Code.GapMicros = static_cast<uint32_t>(runs.back());
  Code.CarrierHz = Carrier;
}

// One code's frame: header, plead, pre_data, pre, the code, post, post_data, ptrail, foot.
void TLircRemote::Frame(uint64_t Code, TFrame& Out) const {
  if (WiderThan(Code, CodeBits))
    throw TCodeError(Hex(Code) + " is wider than the remote's " + std::to_string(CodeBits) +
                     " bits");
  const size_t total = size_t{PreDataBits} + CodeBits + PostDataBits;
  size_t position = 0;
  Out.Pair(Header);
  Out.Add(true, Lead);
  Bits(PreData, PreDataBits, position, total, Out);
  Out.Pair(Pre);
  Bits(Code, CodeBits, position, total, Out);
  Out.Pair(Post);
  Bits(PostData, PostDataBits, position, total, Out);
  Out.Add(true, Trail);
  Out.Pair(Foot);
}

// Count bits of Value, most significant first (REVERSE: least). Position counts the bits sent
// so far of all Total: rc6_mask's most significant of Total bits stands for the first.
void TLircRemote::Bits(uint64_t Value, unsigned Count, size_t& Position, size_t Total,
                       TFrame& Out) const {
  for (unsigned i = 0; i < Count; ++i, ++Position) {
    const unsigned shift = Reverse ? i : Count - 1 - i;
    const size_t weight = Total - 1 - Position;
    const bool wide = Encoding == TEncoding::Rc6 && weight < MaxBits && (Rc6Mask >> weight & 1);
    Bit((Value >> shift & 1) != 0, wide, Out);
  }
}

// SPACE_ENC: the pair of "one" or "zero" (SPACE_FIRST: its space first). Bi-phase: halves of
// "one"/"zero"; LIRC sends 1 as space-mark for RC5 and RC6 alike (its RC6 codes hold the bits
// inverted); a Double bit's halves are twice as long (RC6's trailer bit).
void TLircRemote::Bit(bool IsOne, bool Double, TFrame& Out) const {
  const TPair& pair = IsOne ? One : Zero;
  const uint64_t times = Double ? 2 : 1;
  const bool markFirst = Encoding == TEncoding::Space ? !SpaceFirst : !IsOne;
  if (markFirst) {
    Out.Add(true, pair.Mark * times);
    Out.Add(false, pair.Space * times);
  } else {
    Out.Add(false, pair.Space * times);
    Out.Add(true, pair.Mark * times);
  }
}
