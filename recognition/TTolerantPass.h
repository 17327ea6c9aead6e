#pragma once
// The second, tolerant try for a packet that no definition fits exactly: per definition it fits
// the receiver's common edge shift (every mark longer, every space shorter by the same amount)
// and the remote's clock (every duration times one scale) by least squares over the runs read,
// then reads the packet again against the corrected durations in a window with an absolute and
// a relative part (a short frame, such as a repeat frame, with the clock held near nominal; a
// long one allowed larger shifts). A fit is a likely match only when it is plausible, its fields
// lie in their plausible ranges (where the library gives one) and no definition of another
// family fits about as well, a clock outside the band most remotes keep counting against a fit
// and fields in a declared range for it. A reading of the whole packet is preferred to reading
// it as the start of a longer frame: real short frames are far more common than cut long ones.
// Where the normal fit cannot read a definition, a long frame is read again with its lead-in on
// a clock of its own, a bi-phase one splitting runs that a half-bit would fit whole, and one
// whose bits are written in several ways with each further way read first. A field that the
// library calls the complement of another vouches for the reading where it holds, and where it
// does not the reading is never named (it may still make the packet ambiguous). A short frame that
// is the whole packet may have its marks lengthened as far as a long one's, and symbols of several
// bits that the normal fit cannot read are fitted again from much longer marks.

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "TDefinition.h"
#include "TReadingMemo.h"
#include "TSample.h"
#include "TShiftScaleFit.h"
#include "TSymbolBits.h"
#include "TSymbolDistance.h"

class TWorkBudget;

class TTolerantPass {
 public:
  // Tries Definitions on Sample's runs (after merging dropouts of a sample or two). On a clear
  // winner replaces Sample's protocol (Match = Likely, MatchNote saying what made it fit) and its
  // marks, and returns true; otherwise leaves Sample as it was and returns false. Definitions
  // must be converted to Rate; ToleranceSamples is the exact pass's window (the final window is
  // twice as wide, at most 100 us, plus 2 % of each duration). Gives up, false, when Budget runs
  // out. Never throws except when memory runs out.
  bool Decode(const std::vector<TDefinition>& Definitions, uint16_t Rate, float ToleranceSamples,
              TSample& Sample, TWorkBudget& Budget);
  // Takes Pulses, dropouts merged as Decode merges them, as the packet MayOpen asks about; Rate
  // is the rate Definitions are converted to. Never fails.
  void Look(const std::vector<uint16_t>& Pulses, uint16_t Rate);
  // Whether Decode could read a frame of Definition that begins with the packet Look took, whose
  // later runs are not known yet (the next packet may continue it): the first round of a fit
  // reads its runs before the closing silence, or a lead-in read on a clock of its own could
  // take its first mark. False for a packet without a mark. Never fails.
  bool MayOpen(const TDefinition& Definition);

 private:
  // Expected run = Scale x nominal +- Shift; a run fits within Fixed + Relative x Scale x nominal.
  struct TModel {
    double Scale = 1;
    double Shift = 0;  // samples
    double Fixed = 0;  // samples
    double Relative = 0;
    double RelativeUpTo = INFINITY;  // samples: longer durations get no more relative window
    bool LeadApart = false;          // the lead-in is read on its own clock, out of the fit
    // A last duration takes the front of a run that fits it whole when the rest would be at
    // least this long (samples at nominal clock): a bi-phase run of two half-bits, lengthened.
    double SplitFrom = INFINITY;
    size_t Way = 0;  // a pattern written in several ways is read this way first (0: as written)
    // The first round's model, the same for every definition of one-bit symbols read without
    // SplitFrom: its readings are kept in Shared_ for the other definitions.
    bool Shared = false;
  };
  enum class TOutcome { Failed, ReachedEnd, Complete };
  struct TWalk {
    TOutcome Outcome = TOutcome::Failed;
    TShiftScaleFit Fit;
    TProtocol Found;
    std::vector<uint64_t> Values;  // of the fields read so far, kept in every walk
    std::array<std::vector<TSampleMark>, 2> Marks;
    bool Record = false;   // keep fields and marks
    bool Refused = false;  // an item without what it needs: the definition cannot be read
    const TModel* Model = nullptr;
    TWorkBudget* Budget = nullptr;
    const TDefinition* Definition = nullptr;
    uint64_t Matches = 0;        // spent from Budget
    size_t LeadEnd = 0;          // the run after a lead-in read whole; 0: none
    uint64_t MatchesAtLead = 0;  // spent when the lead-in was read
    uint64_t BitMarks = 0;
    // A field with a plausible range or a complement read, every such field as the library says
    bool InRange = false;
    bool OutOfRange = false;  // a field read outside its plausible range
    bool Broken = false;      // a field that is not the complement of the field it complements
    TSymbolBits SymbolBits;   // bits of the last symbol not yet placed
  };
  struct TCandidate {
    size_t Index = 0;  // in file order
    bool Complete = false;
    bool Whole = false;       // complete, and nothing but the closing silence left unread
    size_t Fitted = 0;        // runs read whole in the final walk
    bool InRange = false;     // fields with a plausible range or complement, all as the library
                              // says: the fields vouch for it
    bool Broken = false;      // a complement broken: a rival, never named
    bool LeadApart = false;   // read with the lead-in apart: the normal fit could not read it
    bool SplitEarly = false;  // bi-phase, read with SplitFrom: the normal fit could not read it
    bool Stretched = false;   // fitted from long marks: the normal fit could not read it
    size_t Way = 0;           // the model's way
    double Scale = 1, Shift = 0, Rms = 0, Score = 0;
  };

  void MergeGlitches(const std::vector<uint16_t>& Pulses, uint16_t Rate);
  bool MayStart(const TDefinition& Definition) const;
  bool FitDefinition(const TDefinition& Definition, double FinalFixed, TCandidate& Candidate,
                     TWorkBudget& Budget);
  bool TryOtherWays(const TDefinition& Definition, double FinalFixed, TCandidate& Candidate,
                    TWorkBudget& Budget);
  static bool Better(const TCandidate& A, const TCandidate& B);
  bool Solve(TModel& Model) const;
  TOutcome Walk(const TDefinition& Definition, const TModel& Model, TWorkBudget& Budget,
                bool Record = false);
  // The tolerant matcher of TDefinitionWalk: runs read against the model of the walk.
  friend class TDefinitionWalk;
  bool Accepts(const TDefinition::TItem& Item);
  bool Delimiter(const TDefinition::TItem& Item, bool First);
  std::optional<double> Pattern(const TCompiledPattern& Pattern, bool Trial);
  std::optional<double> TrySymbol(const TCompiledPattern& Pattern);
  bool BitRead(unsigned Bit);
  bool FieldRead(const TDefinition::TItem& Data, uint64_t Value);
  TSymbolBits& SymbolBits() { return Walk_.SymbolBits; }
  bool Spend(TWorkBudget& Budget);
  void RememberFailure(const TDefinition& Definition, const TModel& Model, TOutcome Outcome,
                       const TWorkBudget& Budget);
  bool FailsAsWritten();
  bool MatchPattern(const TCompiledPattern& Pattern, const TModel& Model, TWorkBudget& Budget);
  bool MatchLeadIn(const TCompiledPattern& Pattern, const TModel& Model, TWorkBudget& Budget);
  std::optional<double> LeadInScale(const TCompiledPattern& Pattern, size_t Cursor,
                                    double& Measured) const;
  bool MayReadLeadApart(const TDefinition& Definition) const;
  bool MayOpenLeadApart(const TDefinition& Definition) const;
  bool FirstRoundReads(const TCompiledPattern& Pattern, bool Symbols);
  bool LeadInFits(const TCompiledPattern& Pattern, const TModel& Model);
  bool MatchDurations(const TCompiledPattern& Pattern, const TModel& Model);
  TReadingMemo::TReading ReadDurations(const TCompiledPattern& Pattern, const TModel& Model);
  void CheckField(const TDefinition::TItem& Data, uint64_t Value);
  void AddMarks(TMarkText BitText, TMarkText FieldText);
  // What one duration of a pattern does to the run it reads: nothing (Refused), takes it whole
  // (Length samples), or takes Front samples of Length.
  struct TPiece {
    enum TKind { Refused, Whole, TakesFront } Kind = Refused;
    double Length = 0, Front = 0;     // samples
    double Expected = 0, Window = 0;  // samples: where the run should end, and how far off
  };
  TPiece ReadPiece(size_t Index, double Nominal, double EntryWindow, bool TakeFrontAllowed,
                   const TModel& Model) const;
  void TakeWhole(double Length, double Nominal);
  void EndRun(double Measured);
  bool Plausible(const TCandidate& Candidate) const;
  double FinalRelativeUpTo() const;
  // Scales within Scale and shifts within ShiftMicros of each other.
  static bool Near(const TCandidate& A, const TCandidate& B, double Scale, double ShiftMicros);
  const TCandidate* Choose() const;
  // Whether Rival, a reading of the packet other than Best's own, fits about as well.
  static bool Rivals(const TCandidate& Rival, const TCandidate& Best);
  std::string Note(const TCandidate& Winner, double FinalFixed) const;

  uint16_t Rate_ = 0;
  std::vector<double> Runs_;  // merged runs in samples; Runs_[0] is the leading low run
  std::vector<TCandidate> Candidates_;
  // State of the walk in progress.
  TWalk Walk_;
  size_t Cursor_ = 0;
  double Remainder_ = 0;   // of the run at Cursor_, 0 when it is whole
  double RunNominal_ = 0;  // nominal samples taken from the run at Cursor_ so far
  double Position_ = 0;    // samples from the start of the packet
  // How far the runs lie from the last pattern that fitted.
  TSymbolDistance FitDistance_;
  bool Measuring_ = false;  // a symbol is tried: FitDistance_ is kept
  uint64_t MostBitMarks_ = 0;
  TReadingMemo Shared_;  // of the packet, under the shared first-round model
  // The shared first-round walk of the definition being tried, as written, where it failed past
  // a lead-in read whole.
  struct TFailure {
    const TDefinition* Definition = nullptr;  // none
    size_t LeadEnd = 0;                       // the run after the lead-in
    size_t FailedAt = 0;                      // the cursor where the walk stopped
    uint64_t MatchesAfterLead = 0;
  };
  TFailure Failure_;
};
