#include "TActionRunner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <thread>

extern char** environ;

namespace {
const char* const Shell = "/bin/sh";
constexpr int FirstInheritedFile = 3;  // files from here on stay with the listener
constexpr auto ReapInterval = std::chrono::milliseconds(10);

// The spawn settings of every child; released when the object goes.
class TSpawnSettings {
 public:
  TSpawnSettings() {
    posix_spawn_file_actions_init(&Files);
    posix_spawnattr_init(&Attributes);
    posix_spawn_file_actions_addopen(&Files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&Files, STDERR_FILENO, STDOUT_FILENO);
    posix_spawn_file_actions_addclosefrom_np(&Files, FirstInheritedFile);
    // The listener may ignore or block signals; a command starts with the usual ones.
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&Attributes, &all);
    posix_spawnattr_setsigmask(&Attributes, &none);
    posix_spawnattr_setflags(&Attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  }
  ~TSpawnSettings() {
    posix_spawn_file_actions_destroy(&Files);
    posix_spawnattr_destroy(&Attributes);
  }
  TSpawnSettings(const TSpawnSettings&) = delete;
  TSpawnSettings& operator=(const TSpawnSettings&) = delete;

  posix_spawn_file_actions_t Files;
  posix_spawnattr_t Attributes;
};
}  // namespace

TActionRunner::~TActionRunner() {
  Reap();
}

bool TActionRunner::Run(const std::string& Command, const std::string& Label,
                        const TEnvironment& Extra) {
  std::vector<std::string> added;
  for (const auto& [name, value] : Extra) added.push_back(name + "=" + value);
  std::vector<char*> environment;
  for (char** entry = environ; entry && *entry; ++entry) {
    const std::string_view text(*entry);
    bool replaced = false;
    for (const auto& [name, value] : Extra)
      replaced = replaced ||
                 (text.starts_with(name) && text.size() > name.size() && text[name.size()] == '=');
    if (!replaced) environment.push_back(*entry);
  }
  for (std::string& entry : added) environment.push_back(entry.data());
  environment.push_back(nullptr);

  std::string shell = Shell, option = "-c", command = Command;
  char* const arguments[] = {shell.data(), option.data(), command.data(), nullptr};
  TSpawnSettings settings;
  pid_t pid = 0;
  const int error = posix_spawn(&pid, Shell, &settings.Files, &settings.Attributes, arguments,
                                environment.data());
  if (error != 0) {
    Log("action (" + Label + ") could not start \"" + Command + "\": " + std::strerror(error));
    return false;
  }
  Children.push_back({pid, Label, Command});
  return true;
}

void TActionRunner::Reap() {
  for (size_t i = 0; i < Children.size();) {
    int status = 0;
    const pid_t done = waitpid(Children[i].Pid, &status, WNOHANG);
    if (done == 0) {
      ++i;
      continue;
    }
    if (done == Children[i].Pid) Report(Children[i], status);
    Children.erase(Children.begin() + static_cast<long>(i));  // ended, or not ours any more
  }
}

bool TActionRunner::WaitAll(std::chrono::milliseconds Patience) {
  const auto deadline = std::chrono::steady_clock::now() + Patience;
  for (Reap(); !Children.empty() && std::chrono::steady_clock::now() < deadline; Reap())
    std::this_thread::sleep_for(ReapInterval);
  return Children.empty();
}

void TActionRunner::Report(const TChild& Child, int Status) const {
  const std::string what = "action (" + Child.Label + ") \"" + Child.Command + "\" ";
  if (WIFEXITED(Status) && WEXITSTATUS(Status) != 0)
    Log(what + "exited with status " + std::to_string(WEXITSTATUS(Status)));
  else if (WIFSIGNALED(Status))
    Log(what + "was ended by signal " + std::to_string(WTERMSIG(Status)) + " (" +
        strsignal(WTERMSIG(Status)) + ")");
}
