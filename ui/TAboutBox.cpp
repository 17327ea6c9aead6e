#include "TAboutBox.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "TDialogs.h"
#include "TFonts.h"
#include "TLinkLabel.h"

namespace {
const char* Title = "Vorlent v1.1";
const char* Credit = "\u00A9 2026 the Vorlent project";
const char* LinkText = "User's manual";
const char* ManualFile = "README.md";
#ifndef VORLENT_INSTALLED_DOC_DIR
#define VORLENT_INSTALLED_DOC_DIR "/usr/local/share/doc/vorlent"
#endif
const char* const DocFromBin = "../share/doc/vorlent";  // an installation moved elsewhere
const char* Description =
    "Vorlent is a universal application for automatically decoding dozens of types of "
    "infrared remote control protocol packets. It uses the microphone input of a sound card "
    "to capture the infrared signal from a remote control. As a consequence, the hardware "
    "receiver is minimalistic and easy to build: a phototransistor plugged into the input of "
    "your sound card is all the hardware you need. See the user's manual for more information.";
constexpr int DefaultFontPixels = 11;
constexpr int TitlePixels = 21, CreditPixels = 13, TextPixels = 12;
const QColor LinkBlue(0, 0, 255);

QLabel* MakeLabel(QWidget* Parent, const char* Name, const QString& Text, QRect Bounds,
                  const QFont& Font) {
  auto* label = new QLabel(Text, Parent);
  label->setObjectName(Name);
  label->setTextFormat(Qt::PlainText);
  label->setGeometry(Bounds);
  label->setFont(Font);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}
}  // namespace

TAboutBox::TAboutBox(QWidget* Owner, TDialogs& Boxes)
    : QDialog(Owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                         Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      Dialogs(Boxes) {
  setObjectName("aboutForm");
  setWindowTitle("About");
  setModal(false);
  setFixedSize(ClientWidth, ClientHeight);
  setFont(TFonts::SansSerif(DefaultFontPixels));
  StaticText1 = MakeLabel(this, "StaticText1", Title, {8, 16, 237, 28}, TFonts::Arial(TitlePixels));
  StaticText2 =
      MakeLabel(this, "StaticText2", Credit, {8, 48, 265, 20}, TFonts::Arial(CreditPixels));
  StaticText3 = new TLinkLabel(LinkText, this);
  StaticText3->setObjectName("StaticText3");
  StaticText3->setGeometry(8, 66, 85, 20);
  StaticText3->setFont(TFonts::Arial(CreditPixels, true));
  StaticText3->setCursor(Qt::PointingHandCursor);
  QPalette blue = StaticText3->palette();
  blue.setColor(QPalette::WindowText, LinkBlue);
  StaticText3->setPalette(blue);
  StaticText3->setToolTip(ManualUrl());
  connect(StaticText3, &TLinkLabel::Clicked, this, [this] { StaticText3Click(); });
  aboutText =
      MakeLabel(this, "aboutText", Description, {8, 88, 298, 138}, TFonts::Arial(TextPixels));
  aboutText->setWordWrap(true);
}

void TAboutBox::ShowBox() {
  if (auto* owner = parentWidget(); owner && !isVisible()) {
    const QRect own = frameGeometry();
    move(owner->frameGeometry().center() - QPoint(own.width() / 2, own.height() / 2));
  }
  show();
  raise();
  activateWindow();
}

void TAboutBox::StaticText3Click() {
  Dialogs.OpenUrl(ManualUrl());
}

QString TAboutBox::ManualUrl() {
  const QDir program(QCoreApplication::applicationDirPath());
  const QString candidates[] = {program.filePath(ManualFile),
                                QDir::cleanPath(program.filePath(DocFromBin) + "/" + ManualFile),
                                QDir(VORLENT_INSTALLED_DOC_DIR).filePath(ManualFile)};
  QString manual = candidates[0];
  for (const QString& candidate : candidates) {
    if (QFileInfo::exists(candidate)) {
      manual = candidate;
      break;
    }
  }
  return QUrl::fromLocalFile(manual).toString();
}
