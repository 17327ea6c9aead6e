#pragma once
// The About box: the program's name and version, a credit line, a link to the user's manual
// and a paragraph on what the program does. Not modal, stays on top, one instance.

#include <QDialog>
#include <QString>

class QLabel;
class TDialogs;
class TLinkLabel;

class TAboutBox : public QDialog {
 public:
  static constexpr int ClientWidth = 311, ClientHeight = 231;  // pixels

  // Created hidden; Owner is the main window it is centred on. Dialogs opens the link.
  TAboutBox(QWidget* Owner, TDialogs& Dialogs);

  // Shows the box centred on its owner without making it modal; brings it to the front
  // when it is already shown.
  void ShowBox();
  // Opens the link's fixed address (the user's manual beside the program). Never fails.
  void StaticText3Click();
  // The address the link opens, as a file:// URL: the README.md beside the program (a build),
  // else the one in the installation's documentation folder.
  static QString ManualUrl();

  QLabel* StaticText1;
  QLabel* StaticText2;
  TLinkLabel* StaticText3;
  QLabel* aboutText;

 private:
  TDialogs& Dialogs;
};
