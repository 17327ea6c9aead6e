#include "TDialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace {
// The platform's own dialog; only the question before replacing a file varies.
QFileDialog::Options DialogOptions(bool ConfirmOverwrite) {
  QFileDialog::Options options;
  options.setFlag(QFileDialog::DontConfirmOverwrite, !ConfirmOverwrite);
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
  return QFileDialog::getSaveFileName(Owner, Title, QString(), Filter, nullptr,
                                      DialogOptions(ConfirmOverwrite));
}

QString TQtDialogs::GetOpenFileName(const QString& Filter) {
  // A save-style dialog would ask about overwriting; an open dialog that accepts names of
  // files that do not exist yet is what the load command wants.
  QFileDialog dialog(Owner, QString(), QString(), Filter);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

void TQtDialogs::OpenUrl(const QString& Url) {
  QDesktopServices::openUrl(QUrl(Url));
}
