#include "TDialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "TExportCodesDialog.h"
#include "TSettingsDialog.h"

namespace {
const char* const MissingFolder = "The folder %1 does not exist.";

// The platform's own dialog; only the question before replacing a file varies.
QFileDialog::Options DialogOptions(bool ConfirmOverwrite) {
  QFileDialog::Options options;
  options.setFlag(QFileDialog::DontConfirmOverwrite, !ConfirmOverwrite);
  options.setFlag(QFileDialog::HideNameFilterDetails, true);
  return options;
}
}  // namespace

namespace {
// Texts may break lines with a carriage return alone; the box wants line feeds.
QString Lines(QString Text) {
  Text.replace("\r\n", "\n");
  Text.replace('\r', '\n');
  return Text;
}

void Box(QWidget* Owner, QMessageBox::Icon Icon, const QString& Text) {
  QMessageBox box(Icon, QApplication::applicationName(), Lines(Text), QMessageBox::Ok, Owner);
  box.exec();
}
}  // namespace

void TQtDialogs::ShowMessage(const QString& Text) {
  Box(Owner, QMessageBox::NoIcon, Text);
}

void TQtDialogs::ShowError(const QString& Text) {
  Box(Owner, QMessageBox::Critical, Text);
}

QString TQtDialogs::GetSaveFileName(const QString& Title, const QString& Filter,
                                    bool ConfirmOverwrite) {
  // The folder of the chosen name must exist: ask again until it does or the user cancels.
  for (;;) {
    QString name = QFileDialog::getSaveFileName(Owner, Title, QString(), Filter, nullptr,
                                                DialogOptions(ConfirmOverwrite));
    if (name.isEmpty() || QFileInfo(name).absoluteDir().exists()) return name;
    Box(Owner, QMessageBox::Warning, QString(MissingFolder).arg(QFileInfo(name).absolutePath()));
  }
}

QString TQtDialogs::GetOpenFileName(const QString& Filter, const QString& Title,
                                    const QString& Folder) {
  // A save-style dialog would ask about overwriting; an open dialog that accepts names of
  // files that do not exist yet is what the load command wants.
  QFileDialog dialog(Owner, Title, Folder, Filter);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

namespace {
constexpr int ProgressSteps = 1000;   // steps of the bar from empty to full
constexpr int ProgressDelayMs = 500;  // work done sooner never shows the box
const char* const CancelCaption = "Cancel";

// A QProgressDialog that is not modal: a modal one handles events inside every update of its
// bar, which would let the task finish (and destroy the box) in the middle of that update.
class TQtProgress : public TProgress {
 public:
  TQtProgress(QWidget* Owner, const QString& Text, std::function<void()> OnCancel)
      : Dialog(new QProgressDialog(Text, CancelCaption, 0, ProgressSteps, Owner)) {
    Dialog->setWindowTitle(QApplication::applicationName());
    Dialog->setMinimumDuration(ProgressDelayMs);
    Dialog->setAutoReset(false);
    QObject::connect(Dialog, &QProgressDialog::canceled, Dialog,
                     [this, OnCancel = std::move(OnCancel)] {
                       Cancelled = true;
                       if (OnCancel) OnCancel();
                     });
    Dialog->setValue(0);  // starts the clock that shows the box when the work lasts
  }
  ~TQtProgress() override { delete Dialog; }  // null when the owner went first

  void SetFraction(double Fraction) override {
    if (Cancelled || !Dialog) return;  // a cancelled box stays closed
    const double share = std::isnan(Fraction) ? 0.0 : std::clamp(Fraction, 0.0, 1.0);
    Dialog->setValue(static_cast<int>(share * ProgressSteps));
  }

 private:
  QPointer<QProgressDialog> Dialog;
  bool Cancelled = false;
};
}  // namespace

std::unique_ptr<TProgress> TQtDialogs::OpenProgress(const QString& Text,
                                                    std::function<void()> OnCancel) {
  return std::make_unique<TQtProgress>(Owner, Text, std::move(OnCancel));
}

void TQtDialogs::OpenUrl(const QString& Url) {
  QDesktopServices::openUrl(QUrl(Url));
}

bool TQtDialogs::EditDecodeSettings(TDecodeSettings& Settings) {
  TSettingsDialog dialog(Owner, Settings);
  if (dialog.exec() != QDialog::Accepted) return false;
  Settings = dialog.Settings();
  return true;
}

bool TQtDialogs::AskExportCodes(const QStringList& Formats, TExportCodesChoice& Choice) {
  return TExportCodesDialog::Ask(Owner, Formats, Choice);
}

bool TQtDialogs::Confirm(const QString& Question, const QString& Action) {
  QMessageBox box(QMessageBox::Question, QApplication::applicationName(), Question,
                  QMessageBox::NoButton, Owner);
  QPushButton* yes = box.addButton(Action, QMessageBox::AcceptRole);
  box.addButton(QMessageBox::Cancel);
  box.setDefaultButton(QMessageBox::Cancel);
  box.exec();
  return box.clickedButton() == yes;
}
