#pragma once
// The folder a file dialog opens in: the folder of the last file picked for the same purpose,
// kept across runs in the program's settings file (TSettingsStore::File).

#include <QString>

class TLastFolder {
 public:
  // Kind names the purpose ("samples", "recordings"); each kind has its own folder.
  explicit TLastFolder(const QString& Kind) : Key(KeyPrefix + Kind) {}

  // The remembered folder, "" when there is none or it no longer exists. Never fails.
  QString Get() const;
  // Remembers the folder of FileName (a path to a file). A settings file that cannot be
  // written is ignored. Never fails.
  void Remember(const QString& FileName);

 private:
  static constexpr const char* KeyPrefix = "folders/";
  QString Key;
};
