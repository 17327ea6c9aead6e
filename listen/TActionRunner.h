#pragma once
// Runs action commands through /bin/sh -c without waiting for them: each child gets /dev/null
// as input, the listener's standard error as its output (the packet lines stay clean) and
// nothing else of the listener's open files. Ended children are reaped and failures logged.

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

  // OnFailure receives one line per failure (a command that could not start, exited with a status
  // other than 0 or was killed).
  explicit TActionRunner(TLog OnFailure) : Log(std::move(OnFailure)) {}
  // Reaps what has ended; children still running are left to run on.
  ~TActionRunner();
  TActionRunner(const TActionRunner&) = delete;
  TActionRunner& operator=(const TActionRunner&) = delete;

  // Starts Command with Extra added to the environment; returns at once. False (logged) when
  // it could not be started. Label names it in the log ("line 3").
  bool Run(const std::string& Command, const std::string& Label, const TEnvironment& Extra);
  // Reaps every child that has ended and logs the failed ones. Never blocks.
  void Reap();
  // Reaps until no child is left or Patience has passed; true when none is left.
  bool WaitAll(std::chrono::milliseconds Patience);
  size_t Running() const { return Children.size(); }

 private:
  struct TChild {
    pid_t Pid;
    std::string Label;
    std::string Command;
  };
  void Report(const TChild& Child, int Status) const;

  TLog Log;
  std::vector<TChild> Children;
};
