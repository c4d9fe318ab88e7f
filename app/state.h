// Process-wide state shared by the user interface and the worker threads.
#ifndef MELVIR_APP_STATE_H
#define MELVIR_APP_STATE_H

#include <atomic>

#include "disk/block_form.h"
#include "disk/entries.h"
#include "disk/recorder_disk.h"
#include "platform/types.h"

// A byte flag shared between threads: setting it publishes every write the
// setter made before; a thread that sees it set sees those writes.
typedef std::atomic<u8> Flag;
inline void SetFlag(Flag& f) { f.store(1, std::memory_order_release); }
inline void ClearFlag(Flag& f) { f.store(0, std::memory_order_release); }
inline bool TestFlag(const Flag& f) { return f.load(std::memory_order_acquire) != 0; }

const u32 kReadBufferSize = kBlockBytes;  // one extraction block
const u32 kOutputBufferSize = 0x100000;  // each of the two output buffers
const u32 kMaxRecordings = 100;
const u32 kOutputPathSize = 256;

struct RecordingInfo {
  u32 listPosition;
  u32 firstCluster;
  u32 sizeMiB;
};

// Rows are written by the scan thread and published through rowCount,
// which grows only after its row is complete.
struct RecordingTable {
  RecordingInfo rows[kMaxRecordings];
  std::atomic<u32> rowCount;
};

// The recording chosen for extraction; written by the user interface before
// the extraction thread starts, read by that thread.
struct Selection {
  bool valid;
  u32 firstCluster;
  u32 sizeMiB;
  char text[kEntryTextSize];
};

struct AppState {
  Flag abortFlag;  // stop the extraction at the next block
  Flag diskOpen;   // a discovery has succeeded
  Flag scanDone;   // the scan thread has finished
  Flag scanFailed; // the scan ended on a read error (reported or, quiet, not)
  bool traceOption;  // "/T"
  bool quietOption;  // "/V"
  Selection selection;
  char outputPath[kOutputPathSize];
  u8* readBuffer;
  u8* bufferA;
  u8* bufferB;
  RecordingTable recordings;
  // What Info shows: the disk record when the scan was started, then, once
  // infoPublished is set, as discovery left it (app/scan.cpp).
  RecorderDisk infoBeforeScan;
  RecorderDisk infoAfterDiscovery;
  Flag infoPublished;
};

extern AppState g_app;

// Allocates the read buffer and the two output buffers, page-aligned, once.
// All three are attempted; false if any failed.
bool AllocateBuffers();

#endif
