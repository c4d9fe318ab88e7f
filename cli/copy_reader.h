// The copy's reading of a recording: plainly, or past damage, chosen once
// per copy; blocks land in one buffer, and what a read past damage met is
// kept for the caller.
#ifndef MELVIR_CLI_COPY_READER_H
#define MELVIR_CLI_COPY_READER_H

#include "cli/recording_table.h"
#include "disk/block_form.h"
#include "rescue/rescue.h"

// Where reads land, and what the last read past damage met.
extern u8 g_block[kBlockBytes];
extern ReadDamage g_damage;

struct CopyReader {
  // Opens the recording at its start.
  bool (*open)(const Recording& recording);
  // Moves the cursor bytes on; *skipped the bytes moved past (short at its
  // end). False on a failure (never past damage).
  bool (*skip)(u64 bytes, u64* skipped);
  // Reads length bytes on into g_block (past damage: g_damage says what).
  bool (*read)(u32 length, u32* got);
  bool pastDamage;
};

// The reader of a plain copy, or of one past damage (--rescue).
const CopyReader& ReaderFor(bool rescue);

// Opens the recording and moves past its first bytes bytes.
bool OpenAt(const CopyReader& reader, const Recording& recording, u64 bytes, u64* at);
// Reads block index of the recording into g_block; *got 0 past its end.
bool ReadBlock(const CopyReader& reader, const Recording& recording, u64 index, u32 length,
               u32* got);
// The recording's block-form decision, from its block starts (said when
// none could be read).
bool PlanForm(const CopyReader& reader, const Recording& recording, FormPlan* plan);

#endif
