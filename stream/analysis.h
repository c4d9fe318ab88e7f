// MELVIR's own reading of a transport stream, fed bytes by whatever reads
// the recording: the packet grid, sync loss and regain, continuity, TEI,
// PCR and PTS clocks, and the tables through stream/tables.h. Any number of
// pieces, skips (the middle left unread) and unreadable ranges, in stream
// order; then the summary of stream/summary.h.
#ifndef MELVIR_STREAM_ANALYSIS_H
#define MELVIR_STREAM_ANALYSIS_H

#include <vector>

#include "stream/clock.h"
#include "stream/continuity.h"
#include "stream/tables.h"
#include "stream/video.h"

// TR 101 290: sync is lost after 2 bad sync bytes in a row and regained
// after 5 good ones.
const u32 kSyncLostAfter = 2;
const u32 kSyncFoundAfter = 5;

// The video streams whose format is looked for, at most.
const u32 kMaxVideoStreams = 16;

struct ProgrammeCut;

struct PidClock {
  u16 pid;
  Clock clock;
};

struct PidCounts {
  u64 packets;
  u32 continuityErrors;
};

struct StreamAnalysis {
  u64 offset;         // stream offset of the next byte fed
  bool inSync;        // packets are being read on a grid
  bool everInSync;    // a grid has been found at all
  u32 badSyncs;       // sync bytes missed in a row while in sync
  u8 packet[kPacketSize];  // the packet being gathered across pieces
  u32 held;           // its bytes so far; while searching, the bytes of the search window
  u8 window[kSyncFoundAfter * kPacketSize];
  bool heldDamaged;   // part of the packet being gathered did not read
  // Sync lost and not found again: a loss only if anything but zeros
  // follows (a recording's last cluster ends in zeros).
  bool lossPending, bytesAfterLoss;
  u64 packets, syncLosses, transportErrors, unreadablePackets, continuityErrors;
  std::vector<PidCounts> pids;
  std::vector<PidContinuity> continuity;
  std::vector<u16> continuityKnown;  // the PIDs whose counter is known: those a break forgets
  std::vector<PidClock> pcr, pts;
  std::vector<u16> pcrOf, ptsOf;  // for each PID its clock's index + 1, or 0
  std::vector<VideoProbe> video;
  std::vector<u8> videoOf;        // for each PID its video's index + 1, or 0
  StreamTables tables;
  ProgrammeCut* cut;  // shown every packet read when set (extract --trim), else null
};

// Sets every field afresh. False when libdvbpsi cannot be set up (the
// analysis is then to be ended all the same).
bool StartAnalysis(StreamAnalysis* analysis);
void EndAnalysis(StreamAnalysis* analysis);

void FeedStream(StreamAnalysis* analysis, const u8* data, u32 length);
// length bytes that could not be read (zeros in the recording): the packets
// they touch are counted unreadable and nothing else.
void FeedUnreadable(StreamAnalysis* analysis, u64 length);
// The reader goes on at offset, past bytes it leaves unread.
void SkipTo(StreamAnalysis* analysis, u64 offset);

// A loss of sync that counts although it has not been regained.
inline bool SyncLossOpen(const StreamAnalysis& a) { return a.lossPending && a.bytesAfterLoss; }

// What a head read waits for: every table, or 35 s of PCR.
bool HeadComplete(const StreamAnalysis& analysis);

// The picture format of the video stream on pid, or null.
const VideoFormat* VideoFormatOf(const StreamAnalysis& analysis, u16 pid);

#endif
