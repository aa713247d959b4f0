#include "cli/Terminal.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace pixolan::cli {

namespace {

// The signals the watcher takes; SIGUSR2 only ends the watcher.
sigset_t WatchedSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGUSR2);
  return set;
}

// A line typed at the terminal, waiting in short steps so that an interruption is noticed
// while the user thinks; nullopt at the end of input or on an interruption.
std::optional<std::string> ReadTerminalLine(const TInterruptWatcher& watcher) {
  std::string line;
  for (;;) {
    if (watcher.Signal() != 0) return std::nullopt;
    pollfd input{STDIN_FILENO, POLLIN, 0};
    const int ready = ::poll(&input, 1, 100);
    if (ready < 0 && errno != EINTR) return std::nullopt;
    if (ready <= 0) continue;
    char c;
    const ssize_t got = ::read(STDIN_FILENO, &c, 1);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0) return line.empty() ? std::nullopt : std::optional(line);
    if (c == '\n') return line;
    line += c;
  }
}

}  // namespace

TInterruptWatcher::TInterruptWatcher() {
  const sigset_t set = WatchedSignals();
  if (const int error = ::pthread_sigmask(SIG_BLOCK, &set, nullptr); error != 0)
    throw std::system_error(error, std::generic_category(), "cannot block signals");
  watcher_ = std::thread([this, set] {
    for (;;) {
      int signal = 0;
      if (::sigwait(&set, &signal) != 0 || signal == SIGUSR2) return;
      int none = 0;
      if (!signal_.compare_exchange_strong(none, signal)) ::_exit(128 + none);
    }
  });
}

TInterruptWatcher::~TInterruptWatcher() {
  ::pthread_kill(watcher_.native_handle(), SIGUSR2);
  watcher_.join();
}

TConsole TerminalConsole(const TInterruptWatcher& watcher) {
  TConsole console;
  console.ProgressBar = ::isatty(STDERR_FILENO) == 1;
  console.CanAsk = console.ProgressBar && ::isatty(STDIN_FILENO) == 1;
  winsize size{};
  if (console.ProgressBar && ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
    console.Width = size.ws_col;
  console.ReadLine = [&watcher] { return ReadTerminalLine(watcher); };
  console.Interrupted = [&watcher] { return watcher.Signal(); };
  return console;
}

}  // namespace pixolan::cli
