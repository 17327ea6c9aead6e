#include "TActionRunner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <thread>

extern char** environ;

namespace {
const char* const Shell = "/bin/sh";
constexpr int FirstInheritedFile = 3;  // files from here on stay with the listener
constexpr auto ReapInterval = std::chrono::milliseconds(10);
constexpr size_t ReadBlock = 16 * 1024;

// The spawn settings of every child; released when the object goes.
class TSpawnSettings {
 public:
  explicit TSpawnSettings(int Output) {
    posix_spawn_file_actions_init(&Files);
    posix_spawnattr_init(&Attributes);
    posix_spawn_file_actions_addopen(&Files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&Files, Output, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&Files, Output, STDERR_FILENO);
    posix_spawn_file_actions_addclosefrom_np(&Files, FirstInheritedFile);
    // The listener may ignore or block signals; a command starts with the usual ones, in a
    // process group of its own so that it can be ended with what it started.
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&Attributes, &all);
    posix_spawnattr_setsigmask(&Attributes, &none);
    posix_spawnattr_setpgroup(&Attributes, 0);
    posix_spawnattr_setflags(
        &Attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
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
  EndAll(std::chrono::milliseconds(0));
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

  const std::string what = "action (" + Label + ") could not start \"" + Command + "\": ";
  int pipe[2];
  if (pipe2(pipe, O_CLOEXEC) != 0) {
    Log(what + std::strerror(errno));
    return false;
  }
  std::string shell = Shell, option = "-c", command = Command;
  char* const arguments[] = {shell.data(), option.data(), command.data(), nullptr};
  pid_t pid = 0;
  int error = 0;
  {
    TSpawnSettings settings(pipe[1]);
    error = posix_spawn(&pid, Shell, &settings.Files, &settings.Attributes, arguments,
                        environment.data());
  }
  close(pipe[1]);
  if (error != 0) {
    close(pipe[0]);
    Log(what + std::strerror(error));
    return false;
  }
  fcntl(pipe[0], F_SETFL, fcntl(pipe[0], F_GETFL) | O_NONBLOCK);
  Children.push_back({pid, Label, Command, pipe[0], "", 0});
  return true;
}

void TActionRunner::Reap() {
  for (size_t i = 0; i < Children.size();) {
    TChild& child = Children[i];
    Drain(child);
    int status = 0;
    const pid_t done = waitpid(child.Pid, &status, WNOHANG);
    if (done == 0) {
      ++i;
      continue;
    }
    Drain(child);  // what it wrote last
    Close(child);
    if (done == child.Pid) Report(child, status);
    Children.erase(Children.begin() + static_cast<long>(i));  // ended, or not ours any more
  }
}

bool TActionRunner::WaitAll(std::chrono::milliseconds Patience) {
  const auto deadline = std::chrono::steady_clock::now() + Patience;
  for (Reap(); !Children.empty() && std::chrono::steady_clock::now() < deadline; Reap())
    std::this_thread::sleep_for(ReapInterval);
  return Children.empty();
}

void TActionRunner::EndAll(std::chrono::milliseconds Patience) {
  if (WaitAll(Patience)) return;
  for (const TChild& child : Children)
    Log("action (" + child.Label + ") \"" + child.Command + "\" still runs at the end: ended");
  Signal(SIGTERM);
  if (WaitAll(std::chrono::duration_cast<std::chrono::milliseconds>(EndPatience))) return;
  Signal(SIGKILL);
  WaitAll(std::chrono::duration_cast<std::chrono::milliseconds>(EndPatience));
}

// Every child's process group: the shell and what it started.
void TActionRunner::Signal(int Number) {
  for (const TChild& child : Children) kill(-child.Pid, Number);
}

// Reads what Child has written so far (up to MaxReadPerReap bytes) and logs its whole lines.
void TActionRunner::Drain(TChild& Child) {
  std::array<char, ReadBlock> block;
  for (size_t total = 0; Child.Output >= 0 && total < MaxReadPerReap;) {
    const ssize_t n = read(Child.Output, block.data(), block.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0 || errno != EAGAIN) Close(Child);
      return;
    }
    total += static_cast<size_t>(n);
    for (ssize_t i = 0; i < n; ++i) {
      if (block[static_cast<size_t>(i)] != '\n') Child.Pending += block[static_cast<size_t>(i)];
      if (block[static_cast<size_t>(i)] == '\n' || Child.Pending.size() >= MaxLineBytes) {
        LogOutput(Child, Child.Pending);
        Child.Pending.clear();
      }
    }
  }
}

void TActionRunner::LogOutput(TChild& Child, const std::string& Line) {
  if (Child.Logged > MaxLoggedBytes) return;
  Child.Logged += Line.size() + 1;
  if (Child.Logged > MaxLoggedBytes) {
    Log("action (" + Child.Label + ") writes more than " + std::to_string(MaxLoggedBytes) +
        " bytes: the rest is not logged");
    return;
  }
  Log("action (" + Child.Label + "): " + Line);
}

void TActionRunner::Close(TChild& Child) {
  if (Child.Output < 0) return;
  if (!Child.Pending.empty()) LogOutput(Child, Child.Pending);
  Child.Pending.clear();
  close(Child.Output);
  Child.Output = -1;
}

void TActionRunner::Report(const TChild& Child, int Status) const {
  const std::string what = "action (" + Child.Label + ") \"" + Child.Command + "\" ";
  if (WIFEXITED(Status) && WEXITSTATUS(Status) != 0)
    Log(what + "exited with status " + std::to_string(WEXITSTATUS(Status)));
  else if (WIFSIGNALED(Status))
    Log(what + "was ended by signal " + std::to_string(WTERMSIG(Status)) + " (" +
        strsignal(WTERMSIG(Status)) + ")");
}
