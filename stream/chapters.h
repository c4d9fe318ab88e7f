// The programme of a recording and its chapters, from the stream's EIT:
// the one choice of the programme (the event that overlaps the recorded
// time most), one chapter per event the recording spans, titled with the
// event's title, and the one mapping of a broadcast time onto the stream's
// clock (through a TDT or TOT and the PCR before it). A chapter begins
// where the present/following table switched to its event, the
// broadcaster's own signal; where the stream shows no switch to it, at its
// start time mapped onto the clock. Without EIT there are no chapters.
#ifndef MELVIR_STREAM_CHAPTERS_H
#define MELVIR_STREAM_CHAPTERS_H

#include <vector>

#include "stream/tables.h"

const i64 kStampTicks = 90000;  // a second of the 90 kHz stamps

// Recorders pad both ends, so the first present event is often the one
// before: the event of service that overlaps the recorded time (the
// tables' first and last broadcast time) most, a present one on a tie.
// Null when the EIT names no event of the service.
const EventEntry* ChooseProgramme(const StreamTables& tables, u16 service);

// The first time the present/following table named the event present
// (its switch, or the first table read), or null.
const PresentSeen* FirstPresent(const StreamTables& tables, u16 service, u16 eventId);
// The first time it named present an event that starts after `start` (the
// end of the event of that start), or null.
const PresentSeen* PresentAfter(const StreamTables& tables, u16 service, i64 start);

// Ticks of 90 kHz from the anchor's broadcast time to utc: the clock
// mapping, added to wherever the caller places the anchor's stamp.
inline i64 TicksFromAnchor(const ClockAnchor& anchor, i64 utc) { return (utc - anchor.utc) * kStampTicks; }

// The programme of service's anchor, or null when it has none.
const ClockAnchor* AnchorOf(const StreamTables& tables, u16 service);

// Where the caller's timeline has a stamp (90 kHz, 33 bits) seen at a
// stream offset; false when it cannot say.
struct ChapterClock {
  bool (*place)(void* context, u64 stamp, u64 offset, i64* at);
  void* context;
};

// What placed a chapter: the present/following table's switch to its
// event, the event running when reading began, its start time.
enum ChapterFrom { kFromSwitch, kFromBeginning, kFromStartTime };

struct Chapter {
  const EventEntry* event;
  i64 at;  // its start on the caller's timeline
  ChapterFrom from;
};

// The chapters of service over [begin, end) of the caller's timeline, in
// order: those of events named present or overlapping the recorded time,
// each at its switch, else (the event present when reading began) at
// begin, else at its start mapped through the anchor; one that begins
// before begin is moved to begin (of several, the last), one at or after
// end is left out.
void FindChapters(const StreamTables& tables, u16 service, const ChapterClock& clock, i64 begin,
                  i64 end, std::vector<Chapter>* chapters);

// The level-1 name of a content descriptor's content_nibble_level_1 (EN
// 300 468 table 28), or null for undefined, reserved and user-defined ones.
const char* GenreName(u8 level1);

#endif
