#include <malloc.h>

#include <iostream>

#include "cli/CliMain.h"
#include "cli/Terminal.h"

namespace {

// A batch allocates the same large pixel buffers for every image. Served from the heap and
// kept there after they are freed, they are reused by the next image instead of being
// mapped, faulted in page by page and zeroed by the kernel again. The peak stays the same:
// only memory the run already needed is kept.
void KeepLargeBuffersForReuse() {
#if defined(__GLIBC__)
  constexpr int kLargestReused = 1 << 30;
  mallopt(M_MMAP_THRESHOLD, kLargestReused);
  mallopt(M_TRIM_THRESHOLD, kLargestReused);
#endif
}

}  // namespace

int main(int argc, char** argv) {
  KeepLargeBuffersForReuse();
  // Before any thread: they all inherit the blocked signals.
  const pixolan::cli::TInterruptWatcher interrupts;
  const pixolan::cli::TConsole console = pixolan::cli::TerminalConsole(interrupts);
  return pixolan::cli::RunCli(argc, argv, std::cout, std::cerr, console);
}
