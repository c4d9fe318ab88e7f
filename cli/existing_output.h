// What an output already holds of its recording, looked at before copying:
// an output that is there complete is left as it is, a NAME.part that
// matches the disk is resumed, and a run of several recordings is measured
// against the output folder's free space.
#ifndef MELVIR_CLI_EXISTING_OUTPUT_H
#define MELVIR_CLI_EXISTING_OUTPUT_H

#include <vector>

#include "cli/recording_table.h"
#include "report/rescue_report.h"

// The bytes the recording's output has (as extract writes it), read as
// --rescue reads when rescue is set.
u64 OutputBytes(const Recording& recording, bool rescue);

// Whether the recording's bytes and the output's, the bytes [at, at +
// length) of the stream, agree outside the runs of skip.
bool AgreeOutside(const u8* recording, const u8* held, u64 at, u32 length,
                  const std::vector<OutputRun>& skip);

// Reads length bytes at offset of the output being looked at.
typedef bool (*HeldReader)(void* context, u64 offset, void* buffer, u32 length);

// Whether the first `held` bytes of an output agree with the recording's
// stream at the first block, one block at each tenth and the last block,
// leaving out the bytes `zeroed` lists (written as zeros by a run past
// damage: they may read now) and, with rescue, those that cannot be read
// now. kUnread: a read of the disk failed (without rescue), so nothing is
// known; an output that cannot be read, or is longer, differs.
enum Agreement { kAgrees, kDiffers, kUnread };
Agreement AgreesWithRecording(const Recording& recording, bool rescue, u64 held,
                              const std::vector<OutputRun>& zeroed, HeldReader read, void* context);

// path holds the recording's output whole: its length, and its bytes where
// AgreesWithRecording looks, the same as the recording's; a Matroska one,
// as MatroskaIsComplete says; a .ts of its programme alone, as
// CutIsComplete says.
bool OutputIsComplete(const Recording& recording, bool rescue, const char* path, bool matroska,
                      bool trim);

#endif
