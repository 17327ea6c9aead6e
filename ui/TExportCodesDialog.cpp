#include "TExportCodesDialog.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QVBoxLayout>

#include "TExportMemory.h"

namespace {
const char* const Title = "Export codes";
const char* const SelectedCaption = "The selected packet, named:";
const char* const AllCaption = "All packets (each by its name, or protocol and data)";
const char* const CarrierCaption = "Carrier:";
const char* const CarrierFromProtocol = "each protocol's own";
const char* const CarrierSuffix = " Hz";
constexpr int CarrierStep = 1000;
}  // namespace

bool TExportCodesDialog::Ask(QWidget* Owner, const QStringList& Formats,
                             TExportCodesChoice& Choice) {
  return AskOptions(Owner, Choice) && AskFile(Owner, Formats, Choice);
}

bool TExportCodesDialog::AskOptions(QWidget* Owner, TExportCodesChoice& Choice) {
  QDialog dialog(Owner);
  dialog.setWindowTitle(QString(Title) + " - " + QApplication::applicationName());
  auto* selected = new QRadioButton(SelectedCaption, &dialog);
  auto* name = new QLineEdit(Choice.Name, &dialog);
  auto* all = new QRadioButton(AllCaption, &dialog);
  auto* carrier = new QSpinBox(&dialog);
  carrier->setRange(0, MaxCarrierHz);
  carrier->setSingleStep(CarrierStep);
  carrier->setSpecialValueText(CarrierFromProtocol);
  carrier->setSuffix(CarrierSuffix);
  carrier->setValue(static_cast<int>(Choice.CarrierHz));
  (Choice.AllPackets ? all : selected)->setChecked(true);
  name->setEnabled(!Choice.AllPackets);
  QObject::connect(selected, &QRadioButton::toggled, name, &QLineEdit::setEnabled);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* form = new QFormLayout;
  form->addRow(CarrierCaption, carrier);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(selected);
  layout->addWidget(name);
  layout->addWidget(all);
  layout->addLayout(form);
  layout->addWidget(buttons);
  if (dialog.exec() != QDialog::Accepted) return false;
  Choice.AllPackets = all->isChecked();
  Choice.Name = name->text().trimmed();
  Choice.CarrierHz = static_cast<uint32_t>(carrier->value());
  return true;
}

bool TExportCodesDialog::AskFile(QWidget* Owner, const QStringList& Formats,
                                 TExportCodesChoice& Choice) {
  QString filter = Formats.value(Choice.Format);
  QString name = QFileDialog::getSaveFileName(Owner, Title, TExportMemory::Folder(),
                                              Formats.join(";;"), &filter);
  if (name.isEmpty()) return false;
  Choice.Format = std::max(0, static_cast<int>(Formats.indexOf(filter)));
  // A name typed without an extension gets the one of the chosen file type.
  const QRegularExpressionMatch extension =
      QRegularExpression(R"(\(\*\.(\w+)\))").match(Formats.value(Choice.Format));
  if (QFileInfo(name).suffix().isEmpty() && extension.hasMatch())
    name += "." + extension.captured(1);
  Choice.FileName = name;
  return true;
}
