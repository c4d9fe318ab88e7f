// What a rescue extraction met, for its closing line and for --report: the
// output ranges written as zeros, where a damaged chain ended, and, for the
// recorder's block form, the packets that lost their sync byte.
#ifndef MELVIR_REPORT_RESCUE_REPORT_H
#define MELVIR_REPORT_RESCUE_REPORT_H

#include <cstdio>
#include <string>
#include <vector>

#include "rescue/rescue.h"

struct OutputRun {
  u64 offset, length;  // in the output file
};

struct RescueRecord {
  std::string output;
  u64 bytesWritten = 0;
  std::vector<OutputRun> unreadable;  // in order, adjacent ones merged
  u64 unreadableSectors = 0;          // sectors with bytes in those runs
  bool chainDamaged = false;          // the chain ended early
  ChainWalk walk = {};                // how (when chainDamaged)
  bool blockForm = false;
  u64 badPackets = 0;   // block form: whole packets not starting with 0x47 or not wholly read
  u64 zeroPackets = 0;  // of the packets after the last nonzero one, the zero ones
  u64 packetsTo = 0;    // the output offset up to which packets were counted
  u64 damageUnknownBefore = 0;  // resumed bytes whose damage file was lost: not known
  // Remuxed (Matroska): the offsets are the recording's stream's, and the
  // packets over its unreadable bytes were left out rather than written.
  bool remuxed = false;
};

// Adds the damage of one read whose first byte is recording offset
// readOffset and whose first kept bytes were written at output offset
// outputOffset (kept: the bytes left after a block-form cut). Zeros in the
// part cut away never reach the output and are not counted.
void AddReadDamage(RescueRecord* record, const ReadDamage& damage, u64 readOffset, u32 kept,
                   u64 outputOffset);

// The chain damage a walk found, from the one that failed: how, and after
// the read a failed step, where.
void NoteChainDamage(RescueRecord* record, const ChainWalk& walk);
void NoteBrokenStep(RescueRecord* record, const ReadDamage& damage);

u64 UnreadableBytes(const RescueRecord& record);

// Packets of 188 bytes from data[0] on whose first byte is not 0x47.
u64 CountBadPackets(const u8* data, u32 length);
// Counts the whole packets of the next length bytes of a block-form stream,
// written at outputOffset, into badPackets, as the probe counts them: a
// packet any of whose bytes are in the record's unreadable runs (so after
// AddReadDamage of the same read), or whose first byte is not 0x47. A run of
// zero packets is held back until a packet that is not zero follows, so the
// zero tail of a recording's last clusters (where it ends) is not counted.
// Packets before packetsTo were counted by the run a resumed one goes on
// from, and are not counted again.
void CountPackets(RescueRecord* record, const u8* data, u32 length, u64 outputOffset);

// The record of an output that ends after length bytes: its runs end there
// (their sectors counted again), and the unreadable packets counted past it
// are not in the file.
void EndRecord(RescueRecord* record, u64 length);

// Cuts runs to the bytes before at; true when that took anything away.
bool CutRuns(std::vector<OutputRun>* runs, u64 at);
// The sectors of the runs a record keeps, counted again after a cut at an
// offset no mark was taken at.
void RecountSectors(RescueRecord* record);

// "cycle", "step to cluster 0", ... : why a walk ended early.
const char* ChainEndText(ChainEnd end);
// "cycle at cluster 1234", or "first cluster 0".
void FormatChainDamage(const ChainWalk& walk, char* text, u32 size);

// "3 unreadable sectors (1536 bytes) written as zeros; chain ends early at
// cluster 1234" (each part only when it applies; empty when none does).
void FormatDamageSummary(const RescueRecord& record, char* text, u32 size);

// The record as one JSON object on one line: output, bytes_written,
// unreadable [[offset, length], ...], and chain_end (the last cluster
// copied) with damaged (its description) when the chain ended early,
// bad_packets for the block form. held adds what a resumed run goes on
// from (unreadable_sectors, zero_packets, packets_to). False on a write
// error.
bool WriteRescueReport(std::FILE* out, const RescueRecord& record, bool held = false);

#endif
