#include "TLibraryLocator.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "TDecodeSettings.h"

#ifndef VORLENT_INSTALLED_DATA_DIR
#define VORLENT_INSTALLED_DATA_DIR "/usr/local/share/vorlent"
#endif
#ifndef VORLENT_DATA_FROM_BIN
#define VORLENT_DATA_FROM_BIN "../share/vorlent"
#endif

namespace fs = std::filesystem;

namespace {
const char* const ProgramLink = "/proc/self/exe";
const char* const DataFolderName = "vorlent";
const char* const NotFoundFormat = " was not found. Looked in:";

// $XDG_DATA_HOME/vorlent, or ~/.local/share/vorlent when that is unset or not absolute.
std::string UserDataFolder() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && fs::path(xdg).is_absolute()) return (fs::path(xdg) / DataFolderName).string();
  const char* home = std::getenv("HOME");
  if (!home || !*home) return {};
  return (fs::path(home) / ".local" / "share" / DataFolderName).string();
}

std::string ProgramFolder() {
  std::error_code error;
  const fs::path program = fs::read_symlink(ProgramLink, error);
  return error ? std::string() : program.parent_path().string();
}

// The data folder of the installation the program runs from, else of the configured prefix.
std::string InstalledFolder(const std::string& Program) {
  std::error_code error;
  if (!Program.empty()) {
    const fs::path beside = (fs::path(Program) / VORLENT_DATA_FROM_BIN).lexically_normal();
    if (fs::is_directory(beside, error)) return beside.string();
  }
  return VORLENT_INSTALLED_DATA_DIR;
}

std::string CurrentFolder() {
  std::error_code error;
  const fs::path current = fs::current_path(error);
  return error ? std::string(".") : current.string();
}
}  // namespace

std::vector<std::string> TLibraryLocator::DefaultFolders() {
  std::vector<std::string> folders;
  const std::string program = ProgramFolder();
  for (const std::string& folder :
       {CurrentFolder(), UserDataFolder(), program, InstalledFolder(program)}) {
    if (folder.empty()) continue;
    const std::string normal = fs::path(folder).lexically_normal().string();
    if (std::find(folders.begin(), folders.end(), normal) == folders.end())
      folders.push_back(normal);
  }
  return folders;
}

TLibraryLocator::TLibraryLocator(std::vector<std::string> FoldersIn)
    : Folders(std::move(FoldersIn)) {}

std::vector<std::string> TLibraryLocator::Candidates() const {
  std::vector<std::string> files;
  for (const std::string& folder : Folders)
    files.push_back((fs::path(folder) / TDecodeSettings::LibraryFileName).string());
  return files;
}

std::string TLibraryLocator::UserLibraryFile() {
  const std::string folder = UserDataFolder();
  if (folder.empty()) return {};
  return (fs::path(folder) / TDecodeSettings::LibraryFileName).string();
}

std::string TLibraryLocator::Find() const {
  for (const std::string& file : Candidates()) {
    std::error_code error;
    if (fs::is_regular_file(file, error)) return file;
  }
  return {};
}

std::string TLibraryLocator::NotFoundText() const {
  std::string text = std::string(TDecodeSettings::LibraryFileName) + NotFoundFormat;
  for (const std::string& folder : Folders) text += "\n  " + folder;
  if (Folders.empty()) text += " nowhere";
  return text;
}
