// Platform calls counted, and one made to fail, for the tests.
#include "platform/fault.h"

#include <atomic>

namespace {
std::atomic<u32> g_counts[kCallKinds];
std::atomic<int> g_armedKind{-1};
std::atomic<u32> g_armedAt{0};
std::atomic<int> g_armedMode{kFaultFail};
std::atomic<u32> g_outputSectorSize{0};
}  // namespace

void ArmFault(PlatformCall kind, u32 occurrence, FaultMode mode) {
  g_armedAt.store(occurrence);
  g_armedMode.store(mode);
  g_armedKind.store(kind);
}

void DisarmFault() {
  g_armedKind.store(-1);
  g_outputSectorSize.store(0);
}

void ForceOutputSectorSize(u32 bytes) { g_outputSectorSize.store(bytes); }

u32 ForcedOutputSectorSize() { return g_outputSectorSize.load(); }

bool RefusesUnbufferedLength(u32 length) {
  u32 sector = g_outputSectorSize.load();
  return sector != 0 && length % sector != 0;
}

u32 FaultCallCount(PlatformCall kind) { return g_counts[kind].load(); }

void ResetFaultCounts() {
  for (auto& c : g_counts) c.store(0);
}

bool FaultHit(PlatformCall kind, FaultMode* mode) {
  u32 n = g_counts[kind].fetch_add(1);
  if (g_armedKind.load() != kind || g_armedAt.load() != n) return false;
  *mode = static_cast<FaultMode>(g_armedMode.load());
  return true;
}

u32 FaultLength(PlatformCall kind, u32 length, bool* fail) {
  FaultMode mode;
  *fail = false;
  if (!FaultHit(kind, &mode)) return length;
  if (mode == kFaultFail || length == 0) *fail = true;
  return length / 2;
}
