#include "TUnsavedSamples.h"

#include <QFileInfo>

#include "TDialogs.h"

namespace {
const char* const UnsavedQuestion =
    "%1 discards %n packet(s) that have not been saved. Discard them?";
const char* const ReplaceQuestion = "%1 already exists. Replace the saved packets?";
}  // namespace

TUnsavedSamples::TUnsavedSamples(TDialogs& Asker, const std::vector<std::unique_ptr<TSample>>& List)
    : Dialogs(Asker), Samples(List) {
  Saved();
}

void TUnsavedSamples::Saved() {
  AtSave = Now();
}

bool TUnsavedSamples::Changed() const {
  return !Samples.empty() && Now() != AtSave;
}

bool TUnsavedSamples::MayDiscard(const QString& Action) const {
  if (!Changed()) return true;
  const QString question =
      QString(UnsavedQuestion).arg(Action).replace("%n", QString::number(Samples.size()));
  return Dialogs.Confirm(question, Action);
}

bool TUnsavedSamples::MayReplace(const std::string& BaseName) const {
  const QString map = QString::fromStdString(BaseName + ".map");
  const QString data = QString::fromStdString(BaseName + ".dat");
  const QString existing = QFileInfo::exists(map) ? map : QFileInfo::exists(data) ? data : "";
  if (existing.isEmpty()) return true;
  return Dialogs.Confirm(QString(ReplaceQuestion).arg(QFileInfo(existing).fileName()), "Replace");
}

TUnsavedSamples::TSnapshot TUnsavedSamples::Now() const {
  if (Samples.empty()) return {};
  return {Samples.size(), Samples.front().get(), Samples.back().get()};
}
