#pragma once
// Runs action commands through /bin/sh -c without waiting for them: each child gets /dev/null
// as input, a pipe of its own as its output and error output (drained here, so a command that
// writes a flood never holds up the listener; its lines are logged up to a limit), its own
// process group, and nothing else of the listener's open files. Ended children are reaped and
// failures logged; what still runs at the end is ended with its group.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class TActionRunner {
 public:
  using TLog = std::function<void(const std::string& Text)>;
  using TEnvironment = std::vector<std::pair<std::string, std::string>>;

  static constexpr size_t MaxLoggedBytes = 16 * 1024;  // of one child's output; the rest is read
  static constexpr size_t MaxLineBytes = 1024;         // a longer line is logged in parts
  static constexpr size_t MaxReadPerReap = 1 << 20;    // bytes drained from one child per Reap
  static constexpr auto EndPatience = std::chrono::milliseconds(500);  // after SIGTERM

  // OnFailure receives one line per failure (a command that could not start, exited with a status
  // other than 0 or was killed) and each line the commands write.
  explicit TActionRunner(TLog OnFailure) : Log(std::move(OnFailure)) {}
  // Ends what still runs (EndAll).
  ~TActionRunner();
  TActionRunner(const TActionRunner&) = delete;
  TActionRunner& operator=(const TActionRunner&) = delete;

  // Starts Command with Extra added to the environment; returns at once. False (logged) when
  // it could not be started. Label names it in the log ("line 3").
  bool Run(const std::string& Command, const std::string& Label, const TEnvironment& Extra);
  // Drains the children's output, reaps every child that has ended and logs the failed ones.
  // Never blocks.
  void Reap();
  // Reaps until no child is left or Patience has passed; true when none is left.
  bool WaitAll(std::chrono::milliseconds Patience);
  // Waits up to Patience, then ends the process group of every child still running (SIGTERM,
  // then SIGKILL after EndPatience) and reaps them; each one ended is logged.
  void EndAll(std::chrono::milliseconds Patience);
  size_t Running() const { return Children.size(); }

 private:
  struct TChild {
    pid_t Pid;
    std::string Label;
    std::string Command;
    int Output = -1;      // the read end of its pipe; -1 once closed
    std::string Pending;  // a line not yet ended
    size_t Logged = 0;    // bytes of output logged
  };
  void Drain(TChild& Child);
  void LogOutput(TChild& Child, const std::string& Line);
  void Close(TChild& Child);
  void Report(const TChild& Child, int Status) const;
  void Signal(int Number);

  TLog Log;
  std::vector<TChild> Children;
};
