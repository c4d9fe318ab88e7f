#include "cli/existing_output.h"

#include <cstring>

#include "cli/copy.h"
#include "files/output_file.h"
#include "cli/recording_reader.h"

namespace {

RecordingReader g_reader;
u8 g_recording[kBlockBytes], g_file[kBlockBytes];

bool ReadPath(void* context, u64 offset, void* buffer, u32 length) {
  u32 error;
  return ReadFileAt(static_cast<const char*>(context), offset, buffer, length, &error);
}

}  // namespace

bool AgreeOutside(const u8* recording, const u8* held, u64 at, u32 length,
                  const std::vector<OutputRun>& skip) {
  static u8 looked[kBlockBytes];  // 1 where the bytes are compared
  if (length > kBlockBytes) return false;
  std::memset(looked, 1, length);
  for (const OutputRun& run : skip) {
    u64 from = run.offset > at ? run.offset : at;
    u64 to = run.offset + run.length < at + length ? run.offset + run.length : at + length;
    if (from < to) std::memset(looked + (from - at), 0, size_t(to - from));
  }
  // Each stretch looked at compared whole: a byte loop over a block costs
  // more than the reading of it.
  const u8* end = looked + length;
  for (const u8* from = looked; from < end;) {
    from = static_cast<const u8*>(std::memchr(from, 1, size_t(end - from)));
    if (!from) break;
    const u8* to = static_cast<const u8*>(std::memchr(from, 0, size_t(end - from)));
    if (!to) to = end;
    size_t i = size_t(from - looked);
    if (std::memcmp(recording + i, held + i, size_t(to - from)) != 0) return false;
    from = to;
  }
  return true;
}

u64 OutputBytes(const Recording& r, bool rescue) {
  OpenRecordingReader(r, rescue, &g_reader);
  return g_reader.length;
}

Agreement AgreesWithRecording(const Recording& r, bool rescue, u64 held,
                              const std::vector<OutputRun>& zeroed, HeldReader read, void* context) {
  OpenRecordingReader(r, rescue, &g_reader);
  if (held > StreamLength(g_reader.plan, g_reader.index.bytes)) return kDiffers;
  // Past the whole 512-byte units the copy keeps, the caller compares.
  if (held > g_reader.length) held = g_reader.length;
  const u32 kSamples = 11;  // the first block, one at each tenth, the last
  for (u32 i = 0; i < kSamples; ++i) {
    u64 at = i + 1 == kSamples ? (held > kBlockBytes ? held - kBlockBytes : 0) : held / 10 * i;
    u32 length = held - at < kBlockBytes ? u32(held - at) : kBlockBytes, got = 0;
    if (length == 0) continue;
    std::vector<StreamHole> holes;
    if (!ReadStreamAt(&g_reader, at, g_recording, length, &got, &holes)) return kUnread;
    if (got != length || !read(context, at, g_file, length)) return kDiffers;
    std::vector<OutputRun> skip = zeroed;
    for (const StreamHole& h : holes) skip.push_back({h.offset, h.length});
    if (!AgreeOutside(g_recording, g_file, at, length, skip)) return kDiffers;
  }
  return kAgrees;
}

bool OutputIsComplete(const Recording& r, bool rescue, const char* path, bool matroska, bool trim) {
  if (matroska) return MatroskaIsComplete(r, rescue, trim, path);
  if (trim) return CutIsComplete(r, rescue, path);
  u64 held;
  if (!SizeOfFile(path, &held) || held != OutputBytes(r, rescue) || held == 0) return false;
  return AgreesWithRecording(r, rescue, held, {}, ReadPath, const_cast<char*>(path)) == kAgrees;
}
