// The remux in progress, shared by its parts: the tracks chosen, the
// timeline, the packets waiting for their fate, the I/O on both sides.
#ifndef MELVIR_REMUX_SESSION_H
#define MELVIR_REMUX_SESSION_H

#include <atomic>
#include <deque>
#include <vector>

#include "picture/stream_io.h"
#include "platform/platform.h"
#include "remux/remux.h"
#include "remux/timeline.h"
#include "remux/tracks.h"
#include "stream/tables.h"

struct AVFormatContext;
struct AVPacket;
struct AVStream;

// The input as read: its position, the reads' failure, and where a packet
// carrying a PCR marked a discontinuity.
struct InputState {
  StreamSource source;  // the caller's
  StreamWindow window;  // what the demuxer reads, through ReadInput
  u64 read;             // stream bytes read so far
  bool failed;          // a read of the caller's failed
  u8 packet[188];       // a packet cut by a read's end
  u32 held;             // its bytes so far
  u64 next;             // the offset the next packet starts at
  std::deque<u64> marks;  // offsets of discontinuity marks not yet used
  bool tablesOn;          // the tables are read, for the chapters
  StreamTables tables;    // the PAT, PMT, EIT and time tables of the bytes read
};

// A stamp the tables noted (a present/following switch, a time anchor),
// placed on the timeline once the demuxer reached the bytes it came in.
struct PlacedStamp {
  u64 offset, stamp;
  i64 at;
};

// The output file as the muxer writes it.
struct OutputState {
  RemuxWrite write;
  void* context;
  u64 pos, end;
  bool failed;
  u32 error;
};

// Packets on their way to the muxing thread. Each side wakes the other only
// when it sleeps, and then a batch at a time: a wake-up per packet cost a
// fifth of the run in the scheduler.
const u32 kMuxSlots = 256;
const u32 kMuxBatch = 32;
struct MuxRing {
  AVPacket* slots[kMuxSlots];
  u64 head, tail;              // taken by the muxer; put by the demuxer
  std::atomic<u32> count;
  std::atomic<bool> muxerIdle, demuxerWaits;
  EventHandle ready, space, done;
  bool running;                // the thread runs (else the caller muxes)
};

struct TrackState {
  TrackPlan plan;
  AVStream* out;
  std::vector<AVPacket*> waiting;  // of one PES, whose end is not yet known
  i64 lastDts;                     // on the file's timeline, once written
  bool written;
  bool needKey;                    // video: nothing until a key frame
};

struct RemuxSession {
  const RemuxJob* job;
  RemuxResult* result;
  InputState input;
  OutputState output;
  AVFormatContext* in;
  AVFormatContext* out;
  std::vector<TrackState> tracks;   // the stream's, in PMT order, then the text tracks
  std::vector<int> trackOf;         // a demuxer stream's track, or -1
  std::vector<int> teletextPid;     // a demuxer stream's PID when it is fed as teletext, or -1
  u32 textTracksFrom;               // the first text track
  int leader;                       // the track whose first key frame is the start, or -1
  Timeline timeline;
  bool zeroKnown;
  i64 zero;                         // the stamp the file's time 0 is
  i64 end;                          // the end of the last packet written, on the file's timeline
  std::deque<AVPacket*> early;      // packets before the start is known
  std::vector<std::pair<u32, TextCue>> earlyCues;  // text cues, likewise, by track
  std::atomic<bool> failed;         // the muxer refused: reason set
  MuxRing ring;
  int program;                      // the programme's number (its service), or -1
  std::vector<PlacedStamp> placed;  // in stream order
  size_t presentsPlaced;            // the tables' presents looked at so far
  bool anchorPlaced;
  // --trim: packets on the file's timeline held until they are known to be
  // the programme's; the programme's end on it once the EIT tells it; the
  // leading video cut there (in decoding order) and the end of its frames.
  std::deque<std::pair<u32, AVPacket*>> held;
  bool endKnown, videoDone;
  i64 endAt, videoEnd;
};

// The input's I/O context over job.source, read in order; null when out of memory.
AVIOContext* OpenInput(InputState* input, const StreamSource& source);
// Puts the text cues held until the start was known.
void PutEarlyCues(RemuxSession* s);

// A discontinuity mark lies in the bytes read and is not yet used.
bool MarkPending(const InputState& input);
// Uses the marks in the bytes read (at a jump of the clock).
void TakeMarks(InputState* input);
// Forgets marks far behind offset (a stretch with no jump in it).
void ForgetMarks(InputState* input, u64 offset);

// The chapters: the tables read with the input (false: no memory for them,
// and no chapters); the stamps the tables noted in the bytes before
// offset placed on the timeline; the file's chapters set before its
// trailer; the tables let go.
bool StartChapters(RemuxSession* s);
void PlaceNotedStamps(RemuxSession* s, u64 offset);
void SetChapters(RemuxSession* s);
void EndChapters(RemuxSession* s);

// Where a noted stamp was placed on the timeline; false when it was not (yet).
bool PlacedAt(const RemuxSession& s, u64 offset, u64 stamp, i64* at);

// --trim: whether a packet of track t comes before the cut's start (the
// leading video before its key frame at job.trimFrom, until the start is
// known); a packet on the file's timeline held until it is known to be the
// programme's (then written) or not (dropped); those still held, at the
// end; whether the programme's end is behind the demuxer (the rest is not
// read); the held ones let go.
bool BeforeCut(const RemuxSession& s, u32 t, const AVPacket* packet);
void HoldPacket(RemuxSession* s, u32 t, AVPacket* packet);
void ReleaseHeld(RemuxSession* s, bool all);
bool ProgrammeOver(const RemuxSession& s);
void DropHeld(RemuxSession* s);

// The output's I/O context (seekable), or null.
AVIOContext* OpenOutput(OutputState* output);
void CloseIo(AVIOContext** io);

// Writes a packet on the file's timeline (90 kHz, 0 the start) to track
// t, rescaled: hands it to the muxing thread. False once the muxer has
// refused one.
bool WriteTrackPacket(RemuxSession* s, u32 t, AVPacket* packet);

// The muxing thread, once the header is written (without one, the caller
// muxes); QueuePacket hands it a packet, and EndMuxing waits until it has
// muxed every one.
void StartMuxing(RemuxSession* s);
void QueuePacket(RemuxSession* s, AVPacket* packet);
void EndMuxing(RemuxSession* s);

#endif
