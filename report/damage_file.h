// NAME.part.damage: what a --rescue run has written as zeros so far, kept
// beside its NAME.part so that a resumed run reports the whole file. It is
// the --report object of the bytes before `bytes_written`, with the counts a
// resumed run goes on from; written before the zeros it describes reach the
// .part, renamed and removed with it.
#ifndef MELVIR_REPORT_DAMAGE_FILE_H
#define MELVIR_REPORT_DAMAGE_FILE_H

#include "report/rescue_report.h"

// The counts of a record at one output offset (a block's start), from
// which the record of the bytes before it follows.
struct DamageMark {
  u64 at;
  u64 unreadableSectors, badPackets, zeroPackets, packetsTo;
};

DamageMark MarkOf(const RescueRecord& record, u64 at);

// The record cut to the bytes before mark.at, with the mark's counts.
void CutRecord(RescueRecord* record, const DamageMark& mark);

// Replaces path with the record of the output's first `through` bytes.
bool SaveDamage(const char* path, const RescueRecord& record, u64 through);

// Reads path into *record, cut to the first `kept` bytes. When it describes
// more (a run that was killed had saved it before its .part held all it
// says), its counts stay as written with packetsTo past `kept`, so that the
// resumed run does not count those packets again. False when there is
// none, or it cannot be read.
bool LoadDamage(const char* path, u64 kept, RescueRecord* record);

#endif
