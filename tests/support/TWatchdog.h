#pragma once
// Ends the test program (SIGALRM) when a scope takes longer than it may: a test of something
// that must not block, such as opening a pipe, then fails instead of hanging the suite.

#include <unistd.h>

class TWatchdog {
 public:
  explicit TWatchdog(unsigned Seconds) { alarm(Seconds); }
  ~TWatchdog() { alarm(0); }
  TWatchdog(const TWatchdog&) = delete;
  TWatchdog& operator=(const TWatchdog&) = delete;
};
