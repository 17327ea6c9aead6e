#pragma once
// Keeps the window from losing packets silently: knows whether the packet list changed since
// it was last saved, loaded or cleared, and asks before it is discarded or before a saved pair
// of files is replaced.

#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "TSample.h"

class TDialogs;

class TUnsavedSamples {
 public:
  // Samples is the window's packet list; both must outlive this object.
  TUnsavedSamples(TDialogs& Dialogs, const std::vector<std::unique_ptr<TSample>>& Samples);

  // The list as it is now is saved (or loaded, or empty): nothing to lose.
  void Saved();
  // True when the list holds packets it did not hold when last Saved.
  bool Changed() const;
  // True when nothing unsaved would be lost, or the user agrees to lose it by Action
  // ("Clear samples"); false when he declines.
  bool MayDiscard(const QString& Action) const;
  // True when BaseName's .map and .dat files do not exist yet, or the user agrees to replace
  // them; false when he declines.
  bool MayReplace(const std::string& BaseName) const;

 private:
  struct TSnapshot {
    size_t Count = 0;
    const TSample* First = nullptr;
    const TSample* Last = nullptr;
    bool operator==(const TSnapshot&) const = default;
  };
  TSnapshot Now() const;

  TDialogs& Dialogs;
  const std::vector<std::unique_ptr<TSample>>& Samples;
  TSnapshot AtSave;
};
