// The process's own terminal and signals, for the program's main: what tests replace with
// a scripted TConsole.
#pragma once

#include <atomic>
#include <thread>

#include "cli/Console.h"

namespace pixolan::cli {

// Turns SIGINT and SIGTERM into a request to stop. Both are blocked in every thread and a
// watcher thread takes them, so no file is cut off in the middle of its write: the run
// stops before the next file and the program ends with 128 + the signal. A second signal
// ends the process at once with that status. Make it before any other thread exists, so
// that they all inherit the blocked signals; one per process.
class TInterruptWatcher {
 public:
  TInterruptWatcher();
  ~TInterruptWatcher();
  TInterruptWatcher(const TInterruptWatcher&) = delete;
  TInterruptWatcher& operator=(const TInterruptWatcher&) = delete;

  // The signal that came first, 0 while none did.
  int Signal() const { return signal_.load(); }

 private:
  std::atomic<int> signal_{0};
  std::thread watcher_;
};

// The console of this process: a progress bar when stderr is a terminal, questions when
// stdin is one too (read without blocking an interruption), interruptions from watcher.
TConsole TerminalConsole(const TInterruptWatcher& watcher);

}  // namespace pixolan::cli
