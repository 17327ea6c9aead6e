#pragma once
// The window's Learn protocol dialog: which packets (the selected one, or every unknown and
// generic packet), a name, a preview of the learned definition, and Add to my library, which
// writes it into the user's library (refused with the reason shown when the name clashes or the
// packets cannot be learned). The dialog knows nothing of the window: it is given the packets.

#include <QDialog>
#include <cstdint>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

class TLearnDialog : public QDialog {
 public:
  using TPackets = std::vector<std::vector<uint16_t>>;

  // Selected: the runs of the selected packet (may be empty); Unknown: those of every unknown
  // and generic packet. Library is the library in use, which the user's library starts as a
  // copy of; UserLibrary the file definitions are added to.
  TLearnDialog(QWidget* Owner, TPackets Selected, TPackets Unknown, double ToleranceMicros,
               std::string Library, std::string UserLibrary);

  // After the dialog is accepted: the file that changed ("" before). Never fails.
  const std::string& ChangedFile() const { return Changed; }

  QLineEdit* NameEdit;
  QRadioButton* AllUnknown;
  QRadioButton* SelectedOnly;
  QPlainTextEdit* Preview;
  QLabel* Problem;
  QPushButton* AddButton;

 private:
  void UpdatePreview();
  void Add();

  TPackets Selected, Unknown;
  double ToleranceMicros;
  std::string Library, UserLibrary, Xml, Changed;
};
