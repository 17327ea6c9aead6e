#include "TTolerantPass.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "TWorkBudget.h"

namespace {

constexpr double MicrosPerSecond = 1e6;
constexpr double GlitchMicros = 45;  // runs this short inside a packet are dropouts or spikes

// The rounds of a fit: a loose window finds the runs, each fit narrows it.
struct TWindow {
  double FixedMicros;  // 0: the final window, FinalShare of the exact pass's tolerance
  double Relative;
};
constexpr TWindow FitRounds[] = {{150, 0.10}, {100, 0.04}, {0, 0.01}};
constexpr double FinalShare = 1.5;      // of the exact tolerance: +-75 us at +-50 us
constexpr double MaxFinalMicros = 75;   // however wide the exact tolerance is set
constexpr double FinalRelative = 0.01;  // of each corrected duration

// A fit worth keeping on the way.
constexpr double SaneScaleMin = 0.8, SaneScaleMax = 1.25;
constexpr double SaneShiftMicros = 300;
// A fit plausible for a real remote and receiver.
constexpr size_t MinFittedRuns = 12;
// Most remotes' clocks lie within this band. A frame of fewer runs (a repeat frame) is read with
// its clock held inside it: three runs cannot tell a clock error from a shift.
constexpr double CommonScaleMin = 0.985, CommonScaleMax = 1.025;
constexpr size_t MinShortFrameRuns = 3;
constexpr double ScaleMin = 0.92, ScaleMax = 1.03;  // remotes run up to 6 % slow, 2 % fast
// Receivers lengthen marks; one that shortens them by more than this is taken for another timing.
constexpr double MinShiftMicros = -100, MaxShiftMicros = 150;
constexpr double MaxRmsMicros = 40;
// Choosing between fits: the score is the RMS residual plus a share of the shift plus a penalty
// for a clock outside the band most remotes keep, in us.
constexpr double ShiftScoreShare = 0.1;
constexpr double ClockPenaltyMicros = 800;  // per unit of scale outside the common band
constexpr double ScoreMarginMicros = 12;    // a rival this close makes the packet ambiguous
constexpr double FamilyScale = 0.02;        // fits this close read the packet the same way
constexpr double FamilyShiftMicros = 25;
constexpr double SameTimingScale = 0.005;  // a frame cut to a shorter one of the same timing
constexpr double SameTimingShiftMicros = 10;

constexpr double MinFrontSamples = 1;  // a front taken must be at least this long
constexpr double UsedUpSamples = 0.5;  // a remainder shorter than this is no run
const std::string NoText;

uint16_t MarkPosition(double Samples) {
  return static_cast<uint16_t>(std::clamp(std::lround(Samples), 0L, long{UINT16_MAX}));
}

}  // namespace

bool TTolerantPass::Decode(const std::vector<TDefinition>& Definitions, uint16_t Rate,
                           float ToleranceSamples, TSample& Sample, TWorkBudget& Budget) {
  if (Rate == 0) return false;
  Rate_ = Rate;
  MergeGlitches(Sample.Pulses, Rate);
  if (Runs_.size() < MinShortFrameRuns + 2) return false;
  MostBitMarks_ = 1;
  for (double run : Runs_) MostBitMarks_ += static_cast<uint64_t>(run);
  double finalFixed = FinalShare * static_cast<double>(ToleranceSamples);
  if (!(finalFixed <= MaxFinalMicros * Rate / MicrosPerSecond)) {
    finalFixed = MaxFinalMicros * Rate / MicrosPerSecond;
  }
  if (!(finalFixed >= 0)) finalFixed = 0;

  Candidates_.clear();
  for (size_t i = 0; i < Definitions.size(); ++i) {
    TCandidate candidate;
    candidate.Index = i;
    if (FitDefinition(Definitions[i], finalFixed, candidate, Budget) && Plausible(candidate)) {
      Candidates_.push_back(candidate);
    }
    if (Budget.Exhausted()) return false;
  }
  const TCandidate* winner = Choose();
  if (!winner || CouldBeATail(*winner, Definitions)) return false;
  const TModel model{winner->Scale, winner->Shift * Rate / MicrosPerSecond, finalFixed,
                     FinalRelative};
  if (Walk(Definitions[winner->Index], model, Budget, true) != TOutcome::Complete) return false;

  Sample.Protocol = std::make_unique<TProtocol>(std::move(Walk_.Found));
  Sample.Protocol->ProtocolName = Definitions[winner->Index].Name;
  Sample.Protocol->Match = TProtocol::TMatch::Likely;
  Sample.Protocol->MatchNote = Note(*winner, finalFixed);
  Sample.Marks = std::move(Walk_.Marks);
  return true;
}

// A run of a sample or two between two longer ones is merged with both into the run before it:
// a weak signal dips under the level for an instant inside a mark, noise rises above it in a
// space. The samples stay where they are, so marks keep their positions.
void TTolerantPass::MergeGlitches(const std::vector<uint16_t>& Pulses, uint16_t Rate) {
  Runs_.clear();
  const double glitch = GlitchMicros * Rate / MicrosPerSecond;
  for (size_t i = 0; i < Pulses.size(); ++i) {
    const bool inside = Runs_.size() >= 2 && i + 1 < Pulses.size();
    if (inside && Pulses[i] <= glitch) {
      Runs_.back() += Pulses[i] + Pulses[i + 1];
      ++i;
      continue;
    }
    Runs_.push_back(Pulses[i]);
  }
}

// Loose to tight: read the packet, fit scale and shift to the runs read whole, read again closer.
bool TTolerantPass::FitDefinition(const TDefinition& Definition, double FinalFixed,
                                  TCandidate& Candidate, TWorkBudget& Budget) {
  TModel model;
  const double samplesPerMicro = Rate_ / MicrosPerSecond;
  TOutcome outcome = TOutcome::Failed;
  for (const TWindow& window : FitRounds) {
    model.Fixed = window.FixedMicros > 0 ? window.FixedMicros * samplesPerMicro : FinalFixed;
    model.Relative = window.Relative;
    outcome = Walk(Definition, model, Budget);
    if (outcome == TOutcome::Failed || !Solve(model)) return false;
    if (model.Scale < SaneScaleMin || model.Scale > SaneScaleMax ||
        std::abs(model.Shift) > SaneShiftMicros * samplesPerMicro) {
      return false;
    }
  }
  outcome = Walk(Definition, model, Budget);  // the final fit, checked in the final window
  if (outcome == TOutcome::Failed || Walk_.Fit.Count() < MinShortFrameRuns) return false;
  Candidate.Complete = outcome == TOutcome::Complete;
  Candidate.Whole = Candidate.Complete && Cursor_ + 1 >= Runs_.size();
  Candidate.Scale = model.Scale;
  Candidate.Shift = model.Shift / samplesPerMicro;
  Candidate.Rms = Walk_.Fit.Rms(model.Scale, model.Shift) / samplesPerMicro;
  Candidate.Score = Candidate.Rms + ShiftScoreShare * std::abs(Candidate.Shift) +
                    ClockPenaltyMicros * std::max({CommonScaleMin - Candidate.Scale,
                                                   Candidate.Scale - CommonScaleMax, 0.0});
  return true;
}

// Scale and shift from the runs of the last walk. A short frame cannot tell a clock error from a
// shift, so its clock is held within the band most remotes keep.
bool TTolerantPass::Solve(TModel& Model) const {
  const TShiftScaleFit& fit = Walk_.Fit;
  if (fit.Count() < MinShortFrameRuns || !fit.Solve(Model.Scale, Model.Shift)) return false;
  if (fit.Count() >= MinFittedRuns) return true;
  Model.Scale = std::clamp(Model.Scale, CommonScaleMin, CommonScaleMax);
  Model.Shift = fit.ShiftAt(Model.Scale);
  return true;
}

// Reads the whole definition as the exact pass does, against corrected durations. ReachedEnd:
// it failed only at the packet's last run, so the packet could be the start of such a frame.
TTolerantPass::TOutcome TTolerantPass::Walk(const TDefinition& Definition, const TModel& Model,
                                            TWorkBudget& Budget, bool Record) {
  Walk_.Fit.Clear();
  Walk_.Found.Fields.clear();
  Walk_.SymbolBits.Clear();
  for (auto& row : Walk_.Marks) row.clear();
  Walk_.Record = Record;
  Walk_.BitMarks = 1;
  Cursor_ = 1;
  Remainder_ = 0;
  RunNominal_ = 0;
  Position_ = Runs_[0];
  AddMarks(&NoText, &NoText);
  const auto patternFailed = [&] {
    return Cursor_ + 1 >= Runs_.size() ? TOutcome::ReachedEnd : TOutcome::Failed;
  };
  for (const TDefinition::TItem& item : Definition.Items) {
    if (!item.Name || (!item.IsDelimiter && !item.Readable)) return TOutcome::Failed;
    if (!item.IsDelimiter) {
      if (!MatchData(Definition, item, Model, Budget)) {
        return Budget.Exhausted() ? TOutcome::Failed : patternFailed();
      }
      continue;
    }
    if (!MatchPattern(item.Timing, Model, Budget)) return patternFailed();
    AddMarks(&NoText, &*item.Name);
  }
  return TOutcome::Complete;
}

bool TTolerantPass::MatchData(const TDefinition& Definition, const TDefinition::TItem& Data,
                              const TModel& Model, TWorkBudget& Budget) {
  uint64_t value = 0;
  for (unsigned filled = 0; filled < Data.Length;) {
    const bool read = Walk_.SymbolBits.Empty();
    if (read) {
      const TDefinition::TSymbol* found = nullptr;
      for (const TDefinition::TSymbol& symbol : Definition.Symbols) {
        if (MatchPattern(symbol.Timing, Model, Budget)) {
          found = &symbol;
          break;
        }
      }
      if (!found) return false;
      Walk_.SymbolBits.Set(found->Value, Definition.SymbolBits);
    }
    filled +=
        Walk_.SymbolBits.Take(Data.Length - filled, Data.LeastSignificantFirst, filled, value);
    if (!read) continue;
    if (++Walk_.BitMarks >= MostBitMarks_) return false;
    AddMarks(&TDefinition::BitMarkText(
                 TSymbolBits::MarkBit(Data.Length, Data.LeastSignificantFirst, filled)),
             nullptr);
  }
  AddMarks(nullptr, &*Data.Name);
  if (Walk_.Record) Walk_.Found.AddField(*Data.Name, value);
  return true;
}

// Marks are kept only in the walk that gives the result; null adds none to that row.
void TTolerantPass::AddMarks(const std::string* BitText, const std::string* FieldText) {
  if (!Walk_.Record) return;
  const uint16_t position = MarkPosition(Position_);
  if (BitText) Walk_.Marks[TSample::BitRow].push_back({position, *BitText});
  if (FieldText) Walk_.Marks[TSample::FieldRow].push_back({position, *FieldText});
}

// As the exact pass: only the last duration (or a single one) may take the front of a longer run,
// alternatives are tried in order; a failure leaves the walk where it was.
bool TTolerantPass::MatchPattern(const TCompiledPattern& Pattern, const TModel& Model,
                                 TWorkBudget& Budget) {
  if (!Budget.Spend() || !Pattern.Usable()) return false;
  if (MatchDurations(Pattern, Model)) return true;
  for (const TCompiledPattern& alternative : Pattern.Alternatives()) {
    if (MatchPattern(alternative, Model, Budget)) return true;
  }
  return false;
}

bool TTolerantPass::MatchDurations(const TCompiledPattern& Pattern, const TModel& Model) {
  const size_t count = Pattern.Count();
  if (Cursor_ >= Runs_.size() || count > Runs_.size() - Cursor_) return false;
  if (Pattern.HighFirst() != (Cursor_ % 2 == 1)) return false;
  const size_t cursor = Cursor_;
  const double remainder = Remainder_, runNominal = RunNominal_, position = Position_;
  const TShiftScaleFit fit = Walk_.Fit;
  for (size_t i = 0; i < count; ++i) {
    if (Cursor_ >= Runs_.size() || !MatchPiece(static_cast<double>(Pattern.Samples()[i]),
                                               Pattern.Windows()[i], i + 1 == count, Model)) {
      Cursor_ = cursor;
      Remainder_ = remainder;
      RunNominal_ = runNominal;
      Position_ = position;
      Walk_.Fit = fit;
      return false;
    }
  }
  return true;
}

// One duration against the run (or the rest of it) at the cursor, within the model's window or
// the entry's own (EntryWindow samples), whichever is wider. A whole run has both its edges
// shifted, a piece one of them.
bool TTolerantPass::MatchPiece(double Nominal, double EntryWindow, bool TakeFrontAllowed,
                               const TModel& Model) {
  const bool mark = Cursor_ % 2 == 1;
  const double sign = mark ? 1 : -1;
  const bool whole = Remainder_ <= 0;
  const double length = whole ? Runs_[Cursor_] : Remainder_;
  const double scaled = Model.Scale * Nominal;
  const double expected = scaled + sign * Model.Shift * (whole ? 1 : 0.5);
  const double window = std::max(Model.Fixed + Model.Relative * scaled, EntryWindow * Model.Scale);
  if (!(length > expected - window)) return false;
  if (length < expected + window) {
    Position_ += length;
    RunNominal_ += Nominal;
    EndRun(Runs_[Cursor_]);
    return true;
  }
  if (!TakeFrontAllowed) return false;
  const double front = scaled + (whole ? sign * Model.Shift * 0.5 : 0);
  if (!(front >= MinFrontSamples)) return false;
  Remainder_ = length - front;
  Position_ += front;
  RunNominal_ += Nominal;
  if (Remainder_ < UsedUpSamples) {
    ++Cursor_;
    Remainder_ = 0;
    RunNominal_ = 0;
  }
  return true;
}

// The run at the cursor is read to its end: one observation for the fit, unless it is the
// packet's closing silence, whose length is the processor's and not the remote's.
void TTolerantPass::EndRun(double Measured) {
  if (Cursor_ + 1 < Runs_.size()) Walk_.Fit.Add(RunNominal_, Cursor_ % 2 == 1, Measured);
  ++Cursor_;
  Remainder_ = 0;
  RunNominal_ = 0;
}

bool TTolerantPass::Plausible(const TCandidate& Candidate) const {
  return Candidate.Scale >= ScaleMin && Candidate.Scale <= ScaleMax &&
         Candidate.Shift >= MinShiftMicros && Candidate.Shift <= MaxShiftMicros &&
         Candidate.Rms <= MaxRmsMicros;
}

bool TTolerantPass::Near(const TCandidate& A, const TCandidate& B, double Scale,
                         double ShiftMicros) {
  return std::abs(A.Scale - B.Scale) < Scale && std::abs(A.Shift - B.Shift) < ShiftMicros;
}

// The best complete fit that reads the whole packet (or, when none does, the best complete fit),
// unless another reading of the packet fits about as well: a complete fit of another family
// (another scale or shift), or a reading of only part of the packet or of the start of a longer
// frame with any other timing. Among complete fits of the best one's family, the first in file
// order, as in the exact pass.
const TTolerantPass::TCandidate* TTolerantPass::Choose() const {
  const TCandidate* best = nullptr;
  for (const TCandidate& candidate : Candidates_) {
    if (!candidate.Complete) continue;
    if (!best || (candidate.Whole && !best->Whole) ||
        (candidate.Whole == best->Whole && candidate.Score < best->Score)) {
      best = &candidate;
    }
  }
  if (!best) return nullptr;
  for (const TCandidate& rival : Candidates_) {
    if (&rival != best && Rivals(rival, *best)) return nullptr;
  }
  for (const TCandidate& candidate : Candidates_) {
    if (candidate.Whole == best->Whole && Near(candidate, *best, FamilyScale, FamilyShiftMicros) &&
        candidate.Score < best->Score + ScoreMarginMicros) {
      return &candidate;
    }
  }
  return best;
}

// Another reading of the packet that fits about as well: a complete one of the same extent and
// another family, or one of another extent (a part of the packet, or the packet as the start of
// a longer frame) with any other timing. Where only the clock tells two readings apart, the one
// whose clock lies in the common band is named by a clear margin, or neither: a remote of one
// protocol 5 % slow sends what a remote of the other sends.
bool TTolerantPass::Rivals(const TCandidate& Rival, const TCandidate& Best) {
  if (!(Rival.Score < Best.Score + ScoreMarginMicros)) return false;
  const bool sameExtent = Rival.Complete && Rival.Whole == Best.Whole;
  return sameExtent ? !Near(Rival, Best, FamilyScale, FamilyShiftMicros)
                    : !Near(Rival, Best, SameTimingScale, SameTimingShiftMicros);
}

// A definition without a lead-in reads the end of any frame that lost its start, when the bits of
// that frame's definition are its own under a plausible clock and shift.
bool TTolerantPass::CouldBeATail(const TCandidate& Winner,
                                 const std::vector<TDefinition>& Definitions) const {
  const TDefinition& winner = Definitions[Winner.Index];
  if (winner.Items.empty() || winner.Items.front().IsDelimiter) return false;
  const double samplesPerMicro = Rate_ / MicrosPerSecond;
  for (const TDefinition& other : Definitions) {
    if (&other == &winner || other.Items.empty() || !other.Items.front().IsDelimiter) continue;
    TShiftScaleFit bits;  // the winner's bits as a frame of the other definition's bits
    for (const auto& [mine, theirs] :
         {std::pair{&winner.One, &other.One}, {&winner.Zero, &other.Zero}}) {
      if (!mine->Usable() || !theirs->Usable() || mine->Count() != theirs->Count() ||
          mine->HighFirst() != theirs->HighFirst()) {
        bits.Clear();
        break;
      }
      for (size_t i = 0; i < mine->Count(); ++i) {
        bits.Add(theirs->Samples()[i], mine->HighFirst() == (i % 2 == 0), mine->Samples()[i]);
      }
    }
    double scale = 0, shift = 0;
    if (bits.Count() == 0 || !bits.Solve(scale, shift)) continue;
    if (bits.Rms(scale, shift) / samplesPerMicro > MaxRmsMicros) continue;
    TCandidate tail = Winner;
    tail.Scale = Winner.Scale * scale;
    tail.Shift = Winner.Shift + Winner.Scale * shift / samplesPerMicro;
    if (Plausible(tail)) return true;
  }
  return false;
}

std::string TTolerantPass::Note(const TCandidate& Winner, double FinalFixed) const {
  const double windowMicros = FinalFixed * MicrosPerSecond / Rate_;
  const double shift = std::round(Winner.Shift) + 0.0;  // + 0.0: no "-0"
  char text[160];
  std::snprintf(text, sizeof text,
                "likely: marks %+.0f µs, clock %.1f %%, within ±%.0f µs + %.0f %%", shift,
                Winner.Scale * 100, windowMicros, FinalRelative * 100);
  return text;
}
