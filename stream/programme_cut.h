// A recording cut to its programme (extract --trim), read off its packets:
// the programme's first chapter boundary (stream/chapters.h: the switch of
// the present/following table to it, else the event present when reading
// began, else its start time mapped onto the clock), the last video key
// frame at or before it, the last PAT and PMT before that, and where the
// programme ends: the first video PES, in stream order, whose picture is
// shown at or after the switch to an event after it.
#ifndef MELVIR_STREAM_PROGRAMME_CUT_H
#define MELVIR_STREAM_PROGRAMME_CUT_H

#include <deque>
#include <vector>

#include "stream/key_frame.h"
#include "stream/tables.h"

// How far a switch may lie behind the clock when the tables give it:
// libdvbpsi gives a new version once it has all its sections, which may be
// a repetition (2 s at most in a broadcast) after its first one.
const i64 kSwitchLagTicks = 5 * 90000;

struct CutPoint {
  u64 offset;  // of the packet that starts a PES
  u64 pts;     // 90 kHz, 33 bits
};

// The key frames kept while the start is looked for (a half-hour of GOPs
// and more): the start time may lie that far back when no switch comes.
const u32 kCutKeyFrames = 4096;
// The packets of one PAT or PMT section kept.
const u32 kCutTablePackets = 4;

struct CutTable {
  u8 packets[kCutTablePackets][188];
  u32 count;
};

struct ProgrammeCut {
  u16 service, eventId;  // the programme (its service is its programme's number)
  bool startKnown;
  i64 start;             // its start time
  u64 from;              // the cut's first byte once known (~0 while looked for)
  u16 videoPid;          // the programme's first video stream, once its PMT is read
  VideoCoding coding;
  KeyFrameScan scan;     // of the video PES being read
  CutPoint pes;          // where it started
  bool pesOpen;          // its verdict is awaited
  std::vector<CutPoint> keys;  // the last kCutKeyFrames key frames, a ring
  u64 keysSeen;
  CutTable pat, pmt;           // the last of each before from
  std::deque<CutPoint> starts; // video PES from `from` on, not yet known to be the programme's
};

// Sets every field afresh for the programme; from: where the cut begins
// (~0 while it is looked for).
void StartCut(ProgrammeCut* cut, u16 service, u16 eventId, bool startKnown, i64 start, u64 from);

// A packet of the stream at offset (the analysis calls it for each one).
void SeeCutPacket(ProgrammeCut* cut, const StreamTables& tables, u16 pid, const u8* packet, u64 offset);

enum CutStart { kCutOpen, kCutAtSwitch, kCutAtBeginning, kCutAtStartTime, kCutNotFound };

// Where the cut begins, as far as the bytes read tell (ended: the stream's
// end was read, so it is never kCutOpen); *offset: the packet that starts
// the key frame, 0 at the beginning or when the start is not found.
CutStart FindCutStart(const ProgrammeCut& cut, const StreamTables& tables, bool ended, u64* offset);

// Where the cut ends, once the switch past the programme is read and the
// first video PES shown after it: *offset, the packet that starts it.
bool FindCutEnd(const ProgrammeCut& cut, const StreamTables& tables, u64* offset);

// The bytes before the returned offset (at most read, the bytes read) are
// the programme's whatever the stream says later; the PES starts before it
// are forgotten.
u64 CutSafeOffset(ProgrammeCut* cut, const StreamTables& tables, u64 read);

#endif
