#include "fuzz/compact_input.h"

namespace {

MemoryExtent g_runs[kMaxRuns];

}  // namespace

u64 Little(const u8* p, u32 bytes) {
  u64 v = 0;
  for (u32 i = 0; i < bytes; ++i) v |= u64(p[i]) << (8 * i);
  return v;
}

void DecodeCompactInput(const u8* data, size_t size, CompactInput* input) {
  u8 header[kCompactHeaderBytes] = {};
  for (size_t i = 0; i < kCompactHeaderBytes && i < size; ++i) header[i] = data[i];
  input->options = header[0];
  input->faultKind = static_cast<PlatformCall>((header[1] & 0x7F) % kCallKinds);
  input->faultMode = header[1] & 0x80 ? kFaultShort : kFaultFail;
  input->faultOccurrence = Little(header + 2, 2);
  input->extra = Little(header + 4, 4);
  u64 diskSize = Little(header + 8, 4);
  input->drive.size = diskSize < kMaxDiskBytes ? diskSize : kMaxDiskBytes;
  input->drive.readLimit = 0;
  input->drive.reads = 0;
  input->drive.writeAttempts = 0;

  u32 runs = 0;
  size_t at = kCompactHeaderBytes;
  while (runs < kMaxRuns && size >= at + kCompactRunHeaderBytes) {
    const u8* p = data + at;
    u64 position = u64(Little(p, 4)) * 512 + Little(p + 4, 2);
    size_t length = Little(p + 6, 2);
    at += kCompactRunHeaderBytes;
    if (length > size - at) length = size - at;
    g_runs[runs++] = MemoryExtent{position, u32(length), data + at};
    at += length;
  }
  input->drive.extents = g_runs;
  input->drive.extentCount = runs;
}

void ArmInputFault(const CompactInput& input) {
  ArmFault(input.faultKind, input.faultOccurrence, input.faultMode);
}
