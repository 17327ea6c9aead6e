#pragma once
// The second, tolerant try for a packet that no definition fits exactly: per definition it fits
// the receiver's common edge shift (every mark longer, every space shorter by the same amount)
// and the remote's clock (every duration times one scale) by least squares over the runs read,
// then reads the packet again against the corrected durations in a tight window (a short frame,
// such as a repeat frame, with the clock held near nominal). A fit is a likely match only when
// it is plausible and no definition of another family, nor the start of a longer frame, fits
// about as well, a clock outside the band most remotes keep counting against a fit; a
// definition without a lead-in is not named where the packet could be the end of another
// definition's frame that lost its lead-in.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "TDefinition.h"
#include "TShiftScaleFit.h"
#include "TSymbolBits.h"
#include "U_sample.h"

class TWorkBudget;

class TTolerantPass {
 public:
  // Tries Definitions on Sample's runs (after merging dropouts of a sample or two). On a clear
  // winner replaces Sample's protocol (Match = Likely, MatchNote saying what made it fit) and its
  // marks, and returns true; otherwise leaves Sample as it was and returns false. Definitions
  // must be converted to Rate; ToleranceSamples is the exact pass's window (the final window is
  // half as wide again, at most 75 us). Gives up, false, when Budget runs out. Never throws except
  // when memory runs out.
  bool Decode(const std::vector<TDefinition>& Definitions, uint16_t Rate, float ToleranceSamples,
              TSample& Sample, TWorkBudget& Budget);

 private:
  // Expected run = Scale x nominal +- Shift; a run fits within Fixed + Relative x Scale x nominal.
  struct TModel {
    double Scale = 1;
    double Shift = 0;  // samples
    double Fixed = 0;  // samples
    double Relative = 0;
  };
  enum class TOutcome { Failed, ReachedEnd, Complete };
  struct TWalk {
    TOutcome Outcome = TOutcome::Failed;
    TShiftScaleFit Fit;
    TProtocol Found;
    std::array<std::vector<TSampleMark>, 2> Marks;
    bool Record = false;  // keep fields and marks
    uint64_t BitMarks = 0;
    TSymbolBits SymbolBits;  // bits of the last symbol not yet placed
  };
  struct TCandidate {
    size_t Index = 0;  // in file order
    bool Complete = false;
    bool Whole = false;  // complete, and nothing but the closing silence left unread
    double Scale = 1, Shift = 0, Rms = 0, Score = 0;
  };

  void MergeGlitches(const std::vector<uint16_t>& Pulses, uint16_t Rate);
  bool FitDefinition(const TDefinition& Definition, double FinalFixed, TCandidate& Candidate,
                     TWorkBudget& Budget);
  bool Solve(TModel& Model) const;
  TOutcome Walk(const TDefinition& Definition, const TModel& Model, TWorkBudget& Budget,
                bool Record = false);
  bool MatchData(const TDefinition& Definition, const TDefinition::TItem& Data, const TModel& Model,
                 TWorkBudget& Budget);
  bool MatchPattern(const TCompiledPattern& Pattern, const TModel& Model, TWorkBudget& Budget);
  bool MatchDurations(const TCompiledPattern& Pattern, const TModel& Model);
  void AddMarks(const std::string* BitText, const std::string* FieldText);
  bool MatchPiece(double Nominal, double EntryWindow, bool TakeFrontAllowed, const TModel& Model);
  void EndRun(double Measured);
  bool Plausible(const TCandidate& Candidate) const;
  // Scales within Scale and shifts within ShiftMicros of each other.
  static bool Near(const TCandidate& A, const TCandidate& B, double Scale, double ShiftMicros);
  const TCandidate* Choose() const;
  // Whether Rival, a reading of the packet other than Best's own, fits about as well.
  static bool Rivals(const TCandidate& Rival, const TCandidate& Best);
  bool CouldBeATail(const TCandidate& Winner, const std::vector<TDefinition>& Definitions) const;
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
  uint64_t MostBitMarks_ = 0;
};
