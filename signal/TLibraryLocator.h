#pragma once
// Where the protocol library is looked for when the user names none: the current folder
// first, then the user's data folder, the program's own folder and the installed data folder.
// The first folder holding the file wins.

#include <string>
#include <vector>

class TLibraryLocator {
 public:
  // The usual order: the current folder, $XDG_DATA_HOME/vorlent (~/.local/share/vorlent),
  // the folder of the running program, and the data folder of the installation (beside the
  // program's bin/ when there is one, else the configured prefix's). A folder that
  // cannot be determined (no HOME, no /proc) is left out; a folder listed twice counts once.
  static std::vector<std::string> DefaultFolders();

  // The user's own library, $XDG_DATA_HOME/vorlent/protocols.xml (~/.local/share/vorlent/...),
  // where learned definitions go; "" when neither variable says where that is. Never fails.
  static std::string UserLibraryFile();

  explicit TLibraryLocator(std::vector<std::string> Folders = DefaultFolders());

  // The library file of every folder, in the order they are tried. Never fails.
  std::vector<std::string> Candidates() const;
  // The first candidate that is a file (a link to one counts), "" when there is none. A file
  // that exists but cannot be read is still returned: loading it reports why. Never fails.
  std::string Find() const;
  // The user's explanation when Find found nothing: the file name and every place tried.
  std::string NotFoundText() const;

 private:
  std::vector<std::string> Folders;
};
