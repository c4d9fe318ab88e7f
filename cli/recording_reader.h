// A recording's stream read at any offset, as extract writes it (the block
// form's filler cut), through the positional reads of disk/position.h: for
// the commands that read parts of a recording rather than all of it.
#ifndef MELVIR_CLI_RECORDING_READER_H
#define MELVIR_CLI_RECORDING_READER_H

#include <vector>

#include "cli/recording_table.h"
#include "disk/block_form.h"
#include "rescue/position.h"

struct RecordingReader {
  std::vector<ClusterRun> runs;
  ChainIndex index;
  FormPlan plan;
  bool pastDamage;   // unreadable sectors are zeros, listed in the damage
  bool chainCut;     // its chain could not be followed to its end
  u64 length;        // the stream bytes extract writes
};

// Collects the chain and settles the block form. pastDamage: as --rescue
// reads (a chain is followed as far as it goes).
void OpenRecordingReader(const Recording& recording, bool pastDamage, RecordingReader* reader);

// Says, once in a run, that the recording's block form was taken for want
// of a block start to decide it, when it was.
void SayFormOf(const Recording& recording, const FormPlan& plan);

// Stream bytes that read as zeros: [offset, offset + length).
struct StreamHole {
  u64 offset;
  u32 length;
};

// Up to length bytes (at most kRescueReadMax) of the stream from offset;
// *got falls short at the end. Without pastDamage a read that fails fails
// the call; with it the holes are added to *holes, in order.
bool ReadStreamAt(RecordingReader* reader, u64 offset, u8* buffer, u32 length, u32* got,
                  std::vector<StreamHole>* holes);

#endif
