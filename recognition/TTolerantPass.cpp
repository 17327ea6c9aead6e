#include "TTolerantPass.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <span>

#include "TDefinitionWalk.h"
#include "TRunWindow.h"
#include "TWorkBudget.h"

namespace {

constexpr double MicrosPerSecond = 1e6;
constexpr double GlitchMicros = 45;  // runs this short inside a packet are dropouts or spikes

// The rounds of a fit: a loose window finds the runs, each fit narrows it.
struct TWindow {
  double FixedMicros;  // 0: the final window, FinalShare of the exact pass's tolerance
  double Relative;
};
constexpr TWindow FitRounds[] = {{220, 0.10}, {120, 0.04}, {0, 0.02}};
// Symbols of several bits lie closer together (RC-MM's spaces 170 us apart): a first round as
// wide as above would read a neighbouring symbol, so these start narrower.
constexpr TWindow SymbolFitRounds[] = {{150, 0.10}, {100, 0.04}, {0, 0.02}};
// ... and where they cannot read a packet, a second fit starts from marks this much longer: a
// receiver that lengthens marks by more than the first window, spaces of one symbol shortened
// into those of a neighbour that the walk would take whole.
constexpr double StretchedStartMicros = 150;
constexpr double FinalShare = 2;        // of the exact tolerance: +-100 us at +-50 us
constexpr double MaxFinalMicros = 100;  // however wide the exact tolerance is set
constexpr double FinalRelative = 0.02;  // of each corrected duration
// ... up to this one: a lead-in's window is no wider (a cut frame of another lead-in's
// proportion is not read as a frame of this one).
constexpr double FinalRelativeUpToMicros = 5000;

// A fit worth keeping on the way.
constexpr double SaneScaleMin = 0.8, SaneScaleMax = 1.25;
constexpr double SaneShiftMicros = 300;
// A lead-in read apart from the bits keeps a clock of its own within this band.
constexpr double LeadScaleMin = 0.92, LeadScaleMax = 1.03;
// ... and is read so only before a frame of at least 30 bits: where frames of other lead-ins
// start with as many bits as a shorter frame has (JVC, Kathrein, LG28 in a Pioneer frame), the
// lead-in is what tells them apart.
constexpr size_t MinLeadApartRuns = 60;
// A fit plausible for a real remote and receiver.
constexpr size_t MinFittedRuns = 12;
// Most remotes' clocks lie within this band. A frame of fewer runs (a repeat frame) is read with
// its clock held inside it: three runs cannot tell a clock error from a shift.
constexpr double CommonScaleMin = 0.985, CommonScaleMax = 1.025;
constexpr size_t MinShortFrameRuns = 3;
constexpr double ScaleMin = 0.92, ScaleMax = 1.03;  // remotes run up to 6 % slow, 2 % fast
// Receivers lengthen marks; one that shortens them by more than this is taken for another timing.
// A long frame (MinFittedRuns or more) pins its fit down well enough to allow more, and so may a
// short one that reads the whole packet: a repeat frame lengthened as much as the frame it
// repeats, its runs still within MaxRmsMicros of one stretch.
constexpr double MinShiftMicros = -100, MaxShiftMicros = 150;
constexpr double MaxRmsMicros = 40;
constexpr double LongMinShiftMicros = -150, LongMaxShiftMicros = 250;
constexpr double LongMaxRmsMicros = 60;
// Choosing between fits: the score is the RMS residual plus a share of the shift plus a penalty
// for a clock outside the band most remotes keep, in us.
constexpr double ShiftScoreShare = 0.1;
constexpr double ClockPenaltyMicros = 800;  // per unit of scale outside the common band
constexpr double ScoreMarginMicros = 12;    // a rival this close makes the packet ambiguous
constexpr double FamilyScale = 0.02;        // fits this close read the packet the same way
constexpr double FamilyShiftMicros = 25;
constexpr double SameTimingScale = 0.005;  // a frame cut to a shorter one of the same timing
constexpr double SameTimingShiftMicros = 10;

constexpr double StartSlack = 1;       // samples MayStart allows beyond the first round's window
constexpr double MinFrontSamples = 1;  // a front taken must be at least this long
constexpr double UsedUpSamples = 0.5;  // a remainder shorter than this is no run

// Bits of mark then space and of space then mark: a run holds one half-bit or two.
bool IsBiPhase(const TDefinition& Definition) {
  return Definition.One.Usable() && Definition.Zero.Usable() &&
         Definition.One.HighFirst() != Definition.Zero.HighFirst();
}

// Half the shortest duration of Definition's bit patterns, in samples.
double HalfShortestBit(const TDefinition& Definition) {
  double shortest = INFINITY;
  for (const TCompiledPattern* pattern : {&Definition.One, &Definition.Zero})
    for (const float samples : pattern->Samples()) shortest = std::min(shortest, double{samples});
  return shortest / 2;
}

bool StartsWithLeadIn(const TDefinition& Definition) {
  return !Definition.Items.empty() && Definition.Items.front().IsDelimiter;
}

// The most durations a frame of Definition reads: no fit of it holds more runs.
size_t MostDurations(const TDefinition& Definition) {
  const auto longest = [](const TCompiledPattern& Pattern) {
    size_t count = Pattern.Count();
    for (const TCompiledPattern& alternative : Pattern.Alternatives())
      count = std::max(count, alternative.Count());
    return count;
  };
  size_t perSymbol = 0;
  for (const TDefinition::TSymbol& symbol : Definition.Symbols)
    perSymbol = std::max(perSymbol, longest(symbol.Timing));
  const size_t symbolBits = std::max(Definition.SymbolBits, 1u);
  size_t durations = 0;
  for (const TDefinition::TItem& item : Definition.Items)
    durations += item.IsDelimiter ? longest(item.Timing)
                                  : perSymbol * ((item.Length + symbolBits - 1) / symbolBits);
  return durations;
}

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
  Shared_.Clear();
  for (size_t i = 0; i < Definitions.size(); ++i) {
    Failure_ = TFailure{};
    TCandidate candidate;
    candidate.Index = i;
    const bool mayStart = MayStart(Definitions[i]);
    bool fits = mayStart && FitDefinition(Definitions[i], finalFixed, candidate, Budget) &&
                Plausible(candidate);
    if (!fits && mayStart && !Budget.Exhausted() && IsBiPhase(Definitions[i])) {
      candidate = TCandidate{};
      candidate.Index = i;
      candidate.SplitEarly = true;
      fits = FitDefinition(Definitions[i], finalFixed, candidate, Budget) && Plausible(candidate);
    }
    if (!fits && !Budget.Exhausted() && StartsWithLeadIn(Definitions[i]) &&
        MayReadLeadApart(Definitions[i])) {
      candidate = TCandidate{};
      candidate.Index = i;
      candidate.LeadApart = true;
      fits = FitDefinition(Definitions[i], finalFixed, candidate, Budget) &&
             candidate.Fitted >= MinLeadApartRuns && Plausible(candidate);
    }
    if (!fits && mayStart && !Budget.Exhausted())
      fits = TryOtherWays(Definitions[i], finalFixed, candidate, Budget);
    if (!fits && mayStart && !Budget.Exhausted() && Definitions[i].SymbolBits > 1) {
      candidate = TCandidate{};
      candidate.Index = i;
      candidate.Stretched = true;
      fits = FitDefinition(Definitions[i], finalFixed, candidate, Budget) && Plausible(candidate);
    }
    if (fits) Candidates_.push_back(candidate);
    if (Budget.Exhausted()) return false;
  }
  const TCandidate* winner = Choose();
  if (!winner) return false;
  const TDefinition& definition = Definitions[winner->Index];
  const TModel model{winner->Scale,
                     winner->Shift * Rate / MicrosPerSecond,
                     finalFixed,
                     FinalRelative,
                     FinalRelativeUpTo(),
                     winner->LeadApart,
                     winner->SplitEarly ? HalfShortestBit(definition) : INFINITY,
                     winner->Way};
  if (Walk(definition, model, Budget, true) != TOutcome::Complete) return false;

  Sample.Protocol = std::make_unique<TProtocol>(std::move(Walk_.Found));
  Sample.Protocol->ProtocolName = definition.Name;
  Sample.Protocol->Match = TProtocol::TMatch::Likely;
  Sample.Protocol->MatchNote = Note(*winner, finalFixed);
  Sample.Marks = std::move(Walk_.Marks);
  return true;
}

void TTolerantPass::Look(const std::vector<uint16_t>& Pulses, uint16_t Rate) {
  Rate_ = Rate;
  MergeGlitches(Pulses, Rate);
}

bool TTolerantPass::MayOpen(const TDefinition& Definition) {
  if (Rate_ == 0 || Runs_.size() <= TDefinitionWalk::FirstHighRun) return false;
  if (!MayStart(Definition)) return MayOpenLeadApart(Definition);
  const TDefinition::TItem& first = Definition.Items.front();
  if (!first.IsDelimiter && first.Length == 0) return true;  // the walk starts at the next item
  return Definition.AnyFirstPattern([&](const TCompiledPattern& Pattern) {
    return FirstRoundReads(Pattern, Definition.SymbolBits > 1);
  }) || MayOpenLeadApart(Definition);
}

// Whether the first round of a fit reads the packet's runs before its closing silence (the gap
// to a next packet, once joined) with Pattern from the first mark on, as far as they go.
bool TTolerantPass::FirstRoundReads(const TCompiledPattern& Pattern, bool Symbols) {
  if (!Pattern.Usable() || !Pattern.HighFirst()) return false;
  const TWindow& round = Symbols ? SymbolFitRounds[0] : FitRounds[0];
  TModel model;
  model.Fixed = round.FixedMicros * Rate_ / MicrosPerSecond;
  model.Relative = round.Relative;
  Cursor_ = TDefinitionWalk::FirstHighRun;
  Remainder_ = 0;
  const size_t known = Runs_.size() - 1 - Cursor_;
  for (size_t i = 0; i < Pattern.Count() && i < known; ++i) {
    const TPiece piece = ReadPiece(i, Pattern.Samples()[i], Pattern.Windows()[i],
                                   TRunWindow::MayTakeFront(i, Pattern.Count()), model);
    if (piece.Kind == TPiece::Refused) return false;
  }
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

double TTolerantPass::FinalRelativeUpTo() const {
  return FinalRelativeUpToMicros * Rate_ / MicrosPerSecond;
}

// Whether the first round of a fit can read the packet's first mark with a pattern that begins
// Definition, in any of the ways a fit reads it (its lead-in on a clock of its own aside): a quick
// test, a sample looser than the walk, that spares the rounds of a definition whose first pattern
// the packet does not have.
bool TTolerantPass::MayStart(const TDefinition& Definition) const {
  if (Definition.Items.empty()) return true;
  const TDefinition::TItem& first = Definition.Items.front();
  if (!first.IsDelimiter && first.Length == 0) return true;  // the walk starts at the next item
  const TWindow& round = Definition.SymbolBits > 1 ? SymbolFitRounds[0] : FitRounds[0];
  const double fixed = round.FixedMicros * Rate_ / MicrosPerSecond;
  const double run = Runs_[TDefinitionWalk::FirstHighRun];
  return Definition.AnyFirstPattern([&](const TCompiledPattern& Pattern) {
    if (!Pattern.Usable() || !Pattern.HighFirst()) return false;
    const double nominal = Pattern.Samples()[0];
    const double window =
        std::max(fixed + round.Relative * nominal, double{Pattern.Windows()[0]}) + StartSlack;
    return run > nominal - window && (Pattern.Count() == 1 || run < nominal + window);
  });
}

// Loose to tight: read the packet, fit scale and shift to the runs read whole, read again closer.
bool TTolerantPass::FitDefinition(const TDefinition& Definition, double FinalFixed,
                                  TCandidate& Candidate, TWorkBudget& Budget) {
  TModel model;
  model.LeadApart = Candidate.LeadApart;
  model.SplitFrom = Candidate.SplitEarly ? HalfShortestBit(Definition) : INFINITY;
  model.Way = Candidate.Way;
  const double samplesPerMicro = Rate_ / MicrosPerSecond;
  if (Candidate.Stretched) model.Shift = StretchedStartMicros * samplesPerMicro;
  TOutcome outcome = TOutcome::Failed;
  const std::span<const TWindow> rounds =
      Definition.SymbolBits > 1 ? std::span<const TWindow>(SymbolFitRounds) : FitRounds;
  TModel walked;  // the model of the last round's walk
  for (const TWindow& window : rounds) {
    model.Fixed = window.FixedMicros > 0 ? window.FixedMicros * samplesPerMicro : FinalFixed;
    model.Relative = window.Relative;
    model.RelativeUpTo = window.FixedMicros > 0 ? INFINITY : FinalRelativeUpTo();
    model.Shared = &window == &FitRounds[0] && !Candidate.SplitEarly;
    walked = model;
    outcome = Walk(Definition, model, Budget);
    RememberFailure(Definition, model, outcome, Budget);
    if (outcome == TOutcome::Failed || !Solve(model)) return false;
    if (model.Scale < SaneScaleMin || model.Scale > SaneScaleMax ||
        std::abs(model.Shift) > SaneShiftMicros * samplesPerMicro) {
      return false;
    }
  }
  // The final fit, checked in the final window. Where the last round's walk (in that window too)
  // gave the fit it was walked with, the final walk would read the packet as it did: it stands.
  if (model.Scale != walked.Scale || model.Shift != walked.Shift)
    outcome = Walk(Definition, model, Budget);
  if (outcome == TOutcome::Failed || Walk_.Fit.Count() < MinShortFrameRuns) return false;
  Candidate.Complete = outcome == TOutcome::Complete;
  Candidate.Whole = Candidate.Complete && Cursor_ + 1 >= Runs_.size();
  if (Walk_.OutOfRange) return false;  // a field no remote of this protocol sends
  Candidate.InRange = Walk_.InRange;
  Candidate.Broken = Walk_.Broken;
  Candidate.Fitted = Walk_.Fit.Count();
  Candidate.Scale = model.Scale;
  Candidate.Shift = model.Shift / samplesPerMicro;
  Candidate.Rms = Walk_.Fit.Rms(model.Scale, model.Shift) / samplesPerMicro;
  Candidate.Score = Candidate.Rms + ShiftScoreShare * std::abs(Candidate.Shift) +
                    ClockPenaltyMicros * std::max({CommonScaleMin - Candidate.Scale,
                                                   Candidate.Scale - CommonScaleMax, 0.0});
  return true;
}

// Where a definition's bits are written in more than one way (the protocol on another unit) and
// the ways as written cannot read the packet, it is fitted once more for each further way, every
// pattern read that way first: a remote sends one way throughout, and a first way that fits each
// bit in the loose rounds would pull the fit to its clock. Keeps the best plausible fit in
// Candidate; false when there is none.
bool TTolerantPass::TryOtherWays(const TDefinition& Definition, double FinalFixed,
                                 TCandidate& Candidate, TWorkBudget& Budget) {
  size_t ways = 0;
  for (const TDefinition::TSymbol& symbol : Definition.Symbols)
    ways = std::max(ways, symbol.Timing.Alternatives().size());
  bool fits = false;
  for (size_t way = 1; way <= ways && !Budget.Exhausted(); ++way) {
    TCandidate other;
    other.Index = Candidate.Index;
    other.Way = way;
    if (!FitDefinition(Definition, FinalFixed, other, Budget) || !Plausible(other)) continue;
    if (!fits || Better(other, Candidate)) Candidate = other;
    fits = true;
  }
  return fits;
}

// A reading of more of the packet, or of as much with a lower score.
bool TTolerantPass::Better(const TCandidate& A, const TCandidate& B) {
  if (A.Whole != B.Whole) return A.Whole;
  if (A.Complete != B.Complete) return A.Complete;
  return A.Score < B.Score;
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
  Walk_.Values.clear();
  Walk_.SymbolBits.Clear();
  for (auto& row : Walk_.Marks) row.clear();
  Walk_.Record = Record;
  Walk_.Refused = false;
  Walk_.BitMarks = 1;
  Walk_.InRange = Walk_.OutOfRange = Walk_.Broken = false;
  Walk_.Model = &Model;
  Walk_.Budget = &Budget;
  Walk_.Definition = &Definition;
  Walk_.Matches = Walk_.LeadEnd = Walk_.MatchesAtLead = 0;
  Cursor_ = TDefinitionWalk::FirstHighRun;
  Remainder_ = 0;
  RunNominal_ = 0;
  Position_ = Runs_[0];
  AddMarks(TMarkText(), TMarkText());
  if (TDefinitionWalk::Read(Definition, *this)) return TOutcome::Complete;
  if (Walk_.Refused || Budget.Exhausted()) return TOutcome::Failed;
  return Cursor_ + 1 >= Runs_.size() ? TOutcome::ReachedEnd : TOutcome::Failed;
}

// A delimiter or data field without what it needs leaves the definition unread.
bool TTolerantPass::Accepts(const TDefinition::TItem& Item) {
  Walk_.Refused = !Item.Name || (!Item.IsDelimiter && !Item.Readable);
  return !Walk_.Refused;
}

bool TTolerantPass::Delimiter(const TDefinition::TItem& Item, bool First) {
  const TModel& model = *Walk_.Model;
  const bool apart = model.LeadApart && First;
  if (!(apart ? MatchLeadIn(Item.Timing, model, *Walk_.Budget)
              : MatchPattern(Item.Timing, model, *Walk_.Budget)))
    return false;
  if (First && Remainder_ <= 0) {
    Walk_.LeadEnd = Cursor_;
    Walk_.MatchesAtLead = Walk_.Matches;
  }
  if (apart && FailsAsWritten()) return false;
  AddMarks(TMarkText(), Item.Mark);
  return true;
}

// One timing match from Budget, counted for the walk.
bool TTolerantPass::Spend(TWorkBudget& Budget) {
  ++Walk_.Matches;
  return Budget.Spend();
}

// Keeps where the shared first round's walk of Definition as written failed past its lead-in.
void TTolerantPass::RememberFailure(const TDefinition& Definition, const TModel& Model,
                                    TOutcome Outcome, const TWorkBudget& Budget) {
  if (Outcome != TOutcome::Failed || !Model.Shared || Model.LeadApart || Model.Way != 0 ||
      Walk_.Refused || Budget.Exhausted() || Walk_.LeadEnd == 0) {
    return;
  }
  Failure_ = {&Definition, Walk_.LeadEnd, Cursor_, Walk_.Matches - Walk_.MatchesAtLead};
}

// A shared first-round walk with the lead-in apart that has read it to the run where the walk as
// written had read its lead-in reads the rest as that walk did, the model being the same: it
// fails where that walk failed, spending as much. True when it does; the walk stands there.
bool TTolerantPass::FailsAsWritten() {
  if (!Walk_.Model->Shared || Failure_.Definition != Walk_.Definition || Remainder_ > 0 ||
      Cursor_ != Failure_.LeadEnd) {
    return false;
  }
  Walk_.Budget->Spend(Failure_.MatchesAfterLead);
  Cursor_ = Failure_.FailedAt;
  return true;
}

std::optional<double> TTolerantPass::Pattern(const TCompiledPattern& Pattern, bool Trial) {
  if (Trial) return TrySymbol(Pattern);  // the distance is asked of trials only
  if (!MatchPattern(Pattern, *Walk_.Model, *Walk_.Budget)) return std::nullopt;
  return 0.0;
}

// How far the runs where the walk stands lie from Pattern, when it fits; the walk stays.
std::optional<double> TTolerantPass::TrySymbol(const TCompiledPattern& Pattern) {
  const size_t cursor = Cursor_;
  const double remainder = Remainder_, runNominal = RunNominal_, position = Position_;
  const TShiftScaleFit fit = Walk_.Fit;
  Measuring_ = true;
  const bool matched = MatchPattern(Pattern, *Walk_.Model, *Walk_.Budget);
  Measuring_ = false;
  if (!matched) return std::nullopt;
  Cursor_ = cursor;
  Remainder_ = remainder;
  RunNominal_ = runNominal;
  Position_ = position;
  Walk_.Fit = fit;
  return FitDistance_.Value();
}

bool TTolerantPass::BitRead(unsigned Bit) {
  if (++Walk_.BitMarks >= MostBitMarks_) return false;
  if (Walk_.Record)
    Walk_.Marks[TSample::BitRow].push_back({MarkPosition(Position_), TDefinition::BitMark(Bit)});
  return true;
}

bool TTolerantPass::FieldRead(const TDefinition::TItem& Data, uint64_t Value) {
  if (Data.Excludes(Value)) return false;
  CheckField(Data, Value);
  Walk_.Values.push_back(Value);
  if (!Walk_.Record) return true;
  Walk_.Marks[TSample::FieldRow].push_back({MarkPosition(Position_), Data.Mark});
  Walk_.Found.AddField(*Data.Name, Value);
  return true;
}

// What the library says of Data against Value: a plausible range (a value outside it rules the
// reading out) and a complement of an earlier field (a reading that breaks it is not named).
void TTolerantPass::CheckField(const TDefinition::TItem& Data, uint64_t Value) {
  if (!Data.Plausible && !Data.ComplementOf) return;
  if (Data.Plausible && !Data.Plausible->Holds(Value)) Walk_.OutOfRange = true;
  if (!Data.Complements(Value, Walk_.Values)) Walk_.Broken = true;
  Walk_.InRange = !Walk_.OutOfRange && !Walk_.Broken;
}

// Marks are kept only in the walk that gives the result.
void TTolerantPass::AddMarks(TMarkText BitText, TMarkText FieldText) {
  if (!Walk_.Record) return;
  const uint16_t position = MarkPosition(Position_);
  Walk_.Marks[TSample::BitRow].push_back({position, BitText});
  Walk_.Marks[TSample::FieldRow].push_back({position, FieldText});
}

// As the exact pass: only the last duration (or a single one) may take the front of a longer run,
// alternatives are tried in order (the model's way first); a failure leaves the walk where it was.
bool TTolerantPass::MatchPattern(const TCompiledPattern& Pattern, const TModel& Model,
                                 TWorkBudget& Budget) {
  if (!Spend(Budget) || !Pattern.Usable()) return false;
  const std::vector<TCompiledPattern>& ways = Pattern.Alternatives();
  if (Model.Way > 0 && Model.Way <= ways.size() && ways[Model.Way - 1].Usable() &&
      MatchDurations(ways[Model.Way - 1], Model)) {
    return true;
  }
  if (MatchDurations(Pattern, Model)) return true;
  for (const TCompiledPattern& alternative : ways) {
    if (MatchPattern(alternative, Model, Budget)) return true;
  }
  return false;
}

// Under the shared model, a pattern read at the start of a whole run reads as it did there for
// any definition before: the memo answers, and learns what it could not answer.
bool TTolerantPass::MatchDurations(const TCompiledPattern& Pattern, const TModel& Model) {
  const size_t count = Pattern.Count();
  if (Cursor_ >= Runs_.size() || count > Runs_.size() - Cursor_) return false;
  if (Pattern.HighFirst() != (Cursor_ % 2 == 1)) return false;
  if (!Model.Shared || Measuring_ || Remainder_ > 0)
    return ReadDurations(Pattern, Model) != TReadingMemo::TReading::Refused;
  const size_t start = Cursor_;
  switch (Shared_.Get(Pattern.Shape(), start)) {
    case TReadingMemo::TReading::Refused:
      return false;
    case TReadingMemo::TReading::Whole:
      for (const float nominal : Pattern.Samples()) TakeWhole(Runs_[Cursor_], nominal);
      return true;
    case TReadingMemo::TReading::Unknown:
    case TReadingMemo::TReading::Front:
      break;
  }
  const TReadingMemo::TReading reading = ReadDurations(Pattern, Model);
  Shared_.Set(Pattern.Shape(), start, reading);
  return reading != TReadingMemo::TReading::Refused;
}

// Every duration but the last reads a run whole, so each is checked where it will be read before
// the walk moves at all: a pattern that does not fit leaves everything as it was. Count() runs
// from the cursor on exist and the first has the pattern's level. Refused, Whole (every run
// read whole) or Front (the last duration took the front of a run).
TReadingMemo::TReading TTolerantPass::ReadDurations(const TCompiledPattern& Pattern,
                                                    const TModel& Model) {
  const size_t count = Pattern.Count();
  const std::vector<float>& nominal = Pattern.Samples();
  const std::vector<float>& windows = Pattern.Windows();
  const size_t last = count - 1;
  TPiece end;
  FitDistance_.Clear();
  for (size_t i = 0; i < count; ++i) {
    end = ReadPiece(i, nominal[i], windows[i], TRunWindow::MayTakeFront(i, count), Model);
    if (end.Kind == TPiece::Refused) return TReadingMemo::TReading::Refused;
    if (!Measuring_) continue;
    if (end.Kind == TPiece::Whole)
      FitDistance_.AddRun(end.Length, end.Expected);
    else
      FitDistance_.AddPart(end.Window);
  }
  for (size_t i = 0; i < last; ++i)
    TakeWhole(Remainder_ <= 0 ? Runs_[Cursor_] : Remainder_, nominal[i]);
  if (end.Kind == TPiece::Whole) {
    TakeWhole(end.Length, nominal[last]);
    return TReadingMemo::TReading::Whole;
  }
  Remainder_ = end.Length - end.Front;
  Position_ += end.Front;
  RunNominal_ += nominal[last];
  if (Remainder_ < UsedUpSamples) {
    ++Cursor_;
    Remainder_ = 0;
    RunNominal_ = 0;
  }
  return TReadingMemo::TReading::Front;
}

// A lead-in on a clock and shift of its own (a receiver responds to a long burst otherwise than to
// short ones): whole runs whose total is LeadScaleMin..LeadScaleMax of the nominal, each within
// the window of that clock and shift. Its runs are left out of the fit.
bool TTolerantPass::MatchLeadIn(const TCompiledPattern& Pattern, const TModel& Model,
                                TWorkBudget& Budget) {
  if (!Spend(Budget) || !Pattern.Usable() || Remainder_ > 0) return false;
  if (LeadInFits(Pattern, Model)) return true;
  for (const TCompiledPattern& alternative : Pattern.Alternatives()) {
    if (MatchLeadIn(alternative, Model, Budget)) return true;
  }
  return false;
}

// The clock of the lead-in Pattern read whole from run Cursor on: the scale of its runs' total
// (Measured samples), when that lies within LeadScaleMin..LeadScaleMax; nothing otherwise.
std::optional<double> TTolerantPass::LeadInScale(const TCompiledPattern& Pattern, size_t Cursor,
                                                 double& Measured) const {
  const size_t count = Pattern.Count();
  if (Cursor >= Runs_.size() || count > Runs_.size() - Cursor) return std::nullopt;
  if (Pattern.HighFirst() != (Cursor % 2 == 1)) return std::nullopt;
  double measured = 0, nominal = 0;
  for (size_t i = 0; i < count; ++i) {
    measured += Runs_[Cursor + i];
    nominal += Pattern.Samples()[i];
  }
  const double scale = measured / nominal;
  if (!(scale >= LeadScaleMin && scale <= LeadScaleMax)) return std::nullopt;
  Measured = measured;
  return scale;
}

// Whether a walk with the lead-in apart can read Definition's lead-in at the packet's start: a
// quick test that spares the rounds of one whose lead-in is on no clock of its own band.
bool TTolerantPass::MayReadLeadApart(const TDefinition& Definition) const {
  const TCompiledPattern& lead = Definition.Items.front().Timing;
  if (!lead.Usable()) return false;  // MatchLeadIn tries no alternative then
  double measured = 0;
  if (LeadInScale(lead, TDefinitionWalk::FirstHighRun, measured)) return true;
  for (const TCompiledPattern& alternative : lead.Alternatives())
    if (alternative.Usable() && LeadInScale(alternative, TDefinitionWalk::FirstHighRun, measured))
      return true;
  return false;
}

// Whether a lead-in read on a clock of its own could take the packet's first mark, whatever the
// runs after it: within the lead-in's clock band, the largest shift and the first round's window,
// for a definition long enough to be read so.
bool TTolerantPass::MayOpenLeadApart(const TDefinition& Definition) const {
  if (!StartsWithLeadIn(Definition) || MostDurations(Definition) < MinLeadApartRuns) return false;
  const double fixed =
      (LongMaxShiftMicros + FitRounds[0].FixedMicros) * Rate_ / MicrosPerSecond + StartSlack;
  const double run = Runs_[TDefinitionWalk::FirstHighRun];
  const auto fits = [&](const TCompiledPattern& Pattern) {
    if (!Pattern.Usable() || !Pattern.HighFirst()) return false;
    const double nominal = Pattern.Samples()[0];
    const double window = fixed + FitRounds[0].Relative * LeadScaleMax * nominal;
    return run > LeadScaleMin * nominal - window && run < LeadScaleMax * nominal + window;
  };
  const TCompiledPattern& lead = Definition.Items.front().Timing;
  if (fits(lead)) return true;
  return std::any_of(lead.Alternatives().begin(), lead.Alternatives().end(), fits);
}

bool TTolerantPass::LeadInFits(const TCompiledPattern& Pattern, const TModel& Model) {
  double measured = 0;
  const std::optional<double> clock = LeadInScale(Pattern, Cursor_, measured);
  if (!clock) return false;
  const double scale = *clock;
  const size_t count = Pattern.Count();
  const auto sign = [&](size_t I) { return (Cursor_ + I) % 2 == 1 ? 1.0 : -1.0; };
  double shift = 0;
  for (size_t i = 0; i < count; ++i)
    shift += sign(i) * (Runs_[Cursor_ + i] - scale * Pattern.Samples()[i]);
  shift /= static_cast<double>(count);
  if (!(std::abs(shift) <= LongMaxShiftMicros * Rate_ / MicrosPerSecond)) return false;
  for (size_t i = 0; i < count; ++i) {
    const double scaled = scale * Pattern.Samples()[i];
    const double window = Model.Fixed + Model.Relative * std::min(scaled, Model.RelativeUpTo);
    if (!(std::abs(Runs_[Cursor_ + i] - scaled - sign(i) * shift) < window)) return false;
  }
  Position_ += measured;
  Cursor_ += count;
  return true;
}

// Duration Index of a pattern against the run (or the rest of it) it reads, Index runs past the
// cursor, within the model's window or the entry's own (EntryWindow samples), whichever is wider.
// A whole run has both its edges shifted, a piece one of them. Changes nothing.
TTolerantPass::TPiece TTolerantPass::ReadPiece(size_t Index, double Nominal, double EntryWindow,
                                               bool TakeFrontAllowed, const TModel& Model) const {
  const size_t run = Cursor_ + Index;
  const double sign = run % 2 == 1 ? 1 : -1;
  const bool whole = Index > 0 || Remainder_ <= 0;
  const double length = whole ? Runs_[run] : Remainder_;
  const double scaled = Model.Scale * Nominal;
  const double expected = scaled + sign * Model.Shift * (whole ? 1 : 0.5);
  const double window =
      std::max(Model.Fixed + Model.Relative * std::min(scaled, Model.RelativeUpTo),
               EntryWindow * Model.Scale);
  const TRunWindow::TFit fit = TRunWindow::Classify(length, expected, window);
  if (fit == TRunWindow::TFit::TooShort) return {};
  const bool split = TakeFrontAllowed && length - scaled >= Model.Scale * Model.SplitFrom;
  if (fit == TRunWindow::TFit::Fits && !split) return {TPiece::Whole, length, 0, expected, window};
  if (!TakeFrontAllowed) return {};
  const double front = scaled + (whole ? sign * Model.Shift * 0.5 : 0);
  if (!(front >= MinFrontSamples)) return {};
  return {TPiece::TakesFront, length, front, expected, window};
}

// The run at the cursor (or the rest of it, Length samples) read whole for Nominal samples.
void TTolerantPass::TakeWhole(double Length, double Nominal) {
  Position_ += Length;
  RunNominal_ += Nominal;
  EndRun(Runs_[Cursor_]);
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
  const bool longFrame = Candidate.Fitted >= MinFittedRuns;
  const bool longMarks = longFrame || Candidate.Whole;
  return Candidate.Scale >= ScaleMin && Candidate.Scale <= ScaleMax &&
         Candidate.Shift >= (longFrame ? LongMinShiftMicros : MinShiftMicros) &&
         Candidate.Shift <= (longMarks ? LongMaxShiftMicros : MaxShiftMicros) &&
         Candidate.Rms <= (longFrame ? LongMaxRmsMicros : MaxRmsMicros);
}

bool TTolerantPass::Near(const TCandidate& A, const TCandidate& B, double Scale,
                         double ShiftMicros) {
  return std::abs(A.Scale - B.Scale) < Scale && std::abs(A.Shift - B.Shift) < ShiftMicros;
}

// The best complete fit that reads the whole packet (or, when none does, the best complete fit),
// unless another reading of the packet fits about as well: a complete fit of another family
// (another scale or shift), or a reading of only part of the packet or of the start of a longer
// frame with any other timing. Among complete fits of the best one's family, the first in file
// order, as in the exact pass (of those whose fields vouch for them, when the best one's do). A
// reading whose check fields break is never named, but may still make the packet ambiguous.
const TTolerantPass::TCandidate* TTolerantPass::Choose() const {
  const TCandidate* best = nullptr;
  for (const TCandidate& candidate : Candidates_) {
    if (!candidate.Complete || candidate.Broken) continue;
    if (!best || (candidate.Whole && !best->Whole) ||
        (candidate.Whole == best->Whole && candidate.Score < best->Score)) {
      best = &candidate;
    }
  }
  if (!best) return nullptr;
  for (const TCandidate& candidate : Candidates_) {  // fields in their range outweigh the clock
    if (!best->InRange && candidate.InRange && candidate.Complete &&
        candidate.Whole == best->Whole && candidate.Score < best->Score + ScoreMarginMicros) {
      best = &candidate;
    }
  }
  for (const TCandidate& rival : Candidates_) {
    if (&rival != best && Rivals(rival, *best)) return nullptr;
  }
  for (const TCandidate& candidate : Candidates_) {
    if (candidate.Whole == best->Whole && !candidate.Broken &&
        (candidate.InRange || !best->InRange) &&
        Near(candidate, *best, FamilyScale, FamilyShiftMicros) &&
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
  if (Best.Whole && !Rival.Complete) return false;  // real short frames outnumber cut long ones
  const bool sameExtent = Rival.Complete && Rival.Whole == Best.Whole;
  if (!sameExtent) return !Near(Rival, Best, SameTimingScale, SameTimingShiftMicros);
  if (Best.InRange && !Rival.InRange) return false;  // the fields tell where the timing cannot
  return !Near(Rival, Best, FamilyScale, FamilyShiftMicros);
}

std::string TTolerantPass::Note(const TCandidate& Winner, double FinalFixed) const {
  const double windowMicros = FinalFixed * MicrosPerSecond / Rate_;
  const double shift = std::round(Winner.Shift) + 0.0;  // + 0.0: no "-0"
  char text[160];
  std::snprintf(text, sizeof text,
                "likely: marks %+.0f µs, clock %.1f %%, within ±%.0f µs + %.0f %%%s", shift,
                Winner.Scale * 100, windowMicros, FinalRelative * 100,
                Winner.LeadApart ? ", lead-in on its own clock" : "");
  return text;
}
