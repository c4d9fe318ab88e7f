// The interrupted mark that Ctrl-C sets and the copy loops read.
#include <atomic>

#include "cli/os.h"

namespace {
// Lock-free, so storing to it is safe in a signal handler.
std::atomic<bool> g_interrupted{false};
}  // namespace

void MarkInterrupted() { g_interrupted.store(true); }
bool Interrupted() { return g_interrupted.load(); }
