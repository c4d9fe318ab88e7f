#include "cli/existing_output.h"

#include <cstring>

#include "cli/output_file.h"
#include "cli/recording_reader.h"

namespace {

RecordingReader g_reader;
u8 g_recording[kBlockBytes], g_file[kBlockBytes];

}  // namespace

u64 OutputBytes(const Recording& r, bool rescue) {
  OpenRecordingReader(r, rescue, &g_reader);
  return g_reader.length;
}

bool OutputIsComplete(const Recording& r, bool rescue, const char* path) {
  u64 held;
  if (!SizeOfFile(path, &held) || held != OutputBytes(r, rescue) || held == 0) return false;
  u32 tail = held < kBlockBytes ? u32(held) : kBlockBytes, got = 0, error = 0;
  std::vector<StreamHole> holes;
  return ReadStreamAt(&g_reader, held - tail, g_recording, tail, &got, &holes) && got == tail &&
         ReadFileAt(path, held - tail, g_file, tail, &error) &&
         std::memcmp(g_recording, g_file, tail) == 0;
}
