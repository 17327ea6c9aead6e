#include "TLearnDialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "TDecodeSettings.h"
#include "TProtocolLearner.h"
#include "TUserLibrary.h"

namespace {
const char* const Title = "Learn protocol";
const char* const NameCaption = "&Name:";
const char* const AllCaption = "&All unknown and generic packets (%1)";
const char* const SelectedCaption = "The &selected packet (%1)";
const char* const AddCaption = "Add to my &library";
const char* const Hint = "The definition goes into %1; every decoder reads it from there.";
const char* const LearnedText = "Learned from %1 packets%2.";
const char* const NoUserLibrary = "There is no data folder for your library (HOME is not set).";
constexpr int PreviewWidth = 640, PreviewHeight = 320;  // pixels
}  // namespace

TLearnDialog::TLearnDialog(QWidget* Owner, TPackets SelectedPackets, TPackets UnknownPackets,
                           double Tolerance, std::string InUse, std::string User)
    : QDialog(Owner),
      Selected(std::move(SelectedPackets)),
      Unknown(std::move(UnknownPackets)),
      ToleranceMicros(Tolerance),
      Library(std::move(InUse)),
      UserLibrary(std::move(User)) {
  setObjectName("LearnDialog");
  setWindowTitle(Title);
  NameEdit = new QLineEdit(this);
  NameEdit->setObjectName("LearnName");
  AllUnknown = new QRadioButton(QString(AllCaption).arg(Unknown.size()), this);
  AllUnknown->setObjectName("LearnAllUnknown");
  SelectedOnly = new QRadioButton(QString(SelectedCaption).arg(Selected.size()), this);
  SelectedOnly->setObjectName("LearnSelected");
  SelectedOnly->setEnabled(!Selected.empty());
  AllUnknown->setChecked(true);
  Preview = new QPlainTextEdit(this);
  Preview->setObjectName("LearnPreview");
  Preview->setReadOnly(true);
  Preview->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  Preview->setMinimumSize(PreviewWidth, PreviewHeight);
  Problem = new QLabel(this);
  Problem->setObjectName("LearnProblem");
  Problem->setWordWrap(true);
  auto* hint =
      new QLabel(UserLibrary.empty() ? QString(NoUserLibrary)
                                     : QString(Hint).arg(QString::fromStdString(UserLibrary)),
                 this);
  hint->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
  AddButton = buttons->addButton(AddCaption, QDialogButtonBox::AcceptRole);
  AddButton->setObjectName("LearnAdd");

  auto* form = new QFormLayout;
  form->addRow(NameCaption, NameEdit);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(AllUnknown);
  layout->addWidget(SelectedOnly);
  layout->addWidget(Preview);
  layout->addWidget(Problem);
  layout->addWidget(hint);
  layout->addWidget(buttons);

  connect(NameEdit, &QLineEdit::textChanged, this, [this] { UpdatePreview(); });
  connect(AllUnknown, &QRadioButton::toggled, this, [this] { UpdatePreview(); });
  connect(AddButton, &QPushButton::clicked, this, [this] { Add(); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  UpdatePreview();
}

void TLearnDialog::UpdatePreview() {
  const TPackets& packets = SelectedOnly->isChecked() ? Selected : Unknown;
  const std::string name = NameEdit->text().trimmed().toStdString();
  const TProtocolLearner::TResult result = TProtocolLearner::Learn(
      name.empty() ? "?" : name, packets, TDecodeSettings::SampleRate, ToleranceMicros);
  Xml = name.empty() ? std::string() : result.Xml;
  Preview->setPlainText(QString::fromStdString(result.Xml));
  QString note;
  if (!result.Xml.empty()) {
    QString unread;
    if (result.Unread) unread += QString(", %1 unreadable").arg(result.Unread);
    if (result.LeftOut)
      unread += QString(", %1 not fitting the remote's widths left out").arg(result.LeftOut);
    if (result.OtherCoding)
      unread += QString(", %1 of another coding left out").arg(result.OtherCoding);
    note = QString(LearnedText).arg(result.Learned).arg(unread);
    if (!result.Notes.empty()) note += "\n" + QString::fromStdString(result.Notes).trimmed();
  } else {
    note = QString::fromStdString(result.Problem);
  }
  Problem->setText(note);
  AddButton->setEnabled(!Xml.empty() && !UserLibrary.empty());
}

void TLearnDialog::Add() {
  if (Xml.empty() || UserLibrary.empty()) return;
  const std::string name = NameEdit->text().trimmed().toStdString();
  const std::string problem = TUserLibrary::Add(UserLibrary, Library, name, Xml);
  if (!problem.empty()) {
    Problem->setText(QString::fromStdString(problem));
    return;
  }
  Changed = UserLibrary;
  accept();
}
