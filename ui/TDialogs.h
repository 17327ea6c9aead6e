#pragma once
// Message boxes, file dialogs and the desktop's "open this address": the window asks through
// this interface so that tests can answer in place of a user.

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "TDecodeSettings.h"
#include "TExportCodesChoice.h"
#include "TProgress.h"

class QWidget;

class TDialogs {
 public:
  virtual ~TDialogs() = default;

  // A modal box with Text and one OK button, captioned with the application's title.
  virtual void ShowMessage(const QString& Text) = 0;
  // The same with an error icon; used by the application's general error report.
  virtual void ShowError(const QString& Text) = 0;
  // The chosen file name, or "" when the user cancels. Filter is "" or "Text (*.ext)".
  virtual QString GetSaveFileName(const QString& Title, const QString& Filter,
                                  bool ConfirmOverwrite) = 0;
  // The chosen file name (which need not exist), or "" when the user cancels. Filter is one
  // "Text (*.ext)" entry or several separated by ";;"; Title captions the dialog and Folder
  // is where it opens ("": the current folder).
  virtual QString GetOpenFileName(const QString& Filter, const QString& Title = {},
                                  const QString& Folder = {}) = 0;
  // Opens a progress box reading Text with a Cancel button and returns at once; the box
  // appears only when the work lasts, and does not block the window. OnCancel runs on this
  // thread when the user cancels (button, Escape or closing the box). Never fails.
  virtual std::unique_ptr<TProgress> OpenProgress(const QString& Text,
                                                  std::function<void()> OnCancel) = 0;
  // Asks the desktop to open Url (a web address or a file:// URL); the result is not checked.
  virtual void OpenUrl(const QString& Url) = 0;
  // The decoding settings dialog showing Settings: true with Settings changed when the user
  // confirms, false with Settings untouched when he cancels.
  virtual bool EditDecodeSettings(TDecodeSettings& Settings) = 0;
  // Asks what File > Export codes writes: the packets, a name, the carrier, the file and its
  // format (an index into Formats, "Title (*.ext)" entries). Choice holds the defaults on
  // entry and the answers on return. False when the user cancels.
  virtual bool AskExportCodes(const QStringList& Formats, TExportCodesChoice& Choice) = 0;
  // A question with the buttons Action ("Clear samples") and Cancel: true for Action.
  virtual bool Confirm(const QString& Question, const QString& Action) = 0;
};

// The real thing: QMessageBox, QFileDialog, QProgressDialog and QDesktopServices.
class TQtDialogs : public TDialogs {
 public:
  // Window is the one the boxes and dialogs are modal to; it may be null.
  explicit TQtDialogs(QWidget* Window) : Owner(Window) {}

  void ShowMessage(const QString& Text) override;
  void ShowError(const QString& Text) override;
  QString GetSaveFileName(const QString& Title, const QString& Filter,
                          bool ConfirmOverwrite) override;
  QString GetOpenFileName(const QString& Filter, const QString& Title,
                          const QString& Folder) override;
  std::unique_ptr<TProgress> OpenProgress(const QString& Text,
                                          std::function<void()> OnCancel) override;
  void OpenUrl(const QString& Url) override;
  bool EditDecodeSettings(TDecodeSettings& Settings) override;
  bool AskExportCodes(const QStringList& Formats, TExportCodesChoice& Choice) override;
  bool Confirm(const QString& Question, const QString& Action) override;

 private:
  QWidget* Owner;
};
