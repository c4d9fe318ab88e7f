// The programme chosen, the chapters placed, broadcast time mapped onto the clock.
#include "stream/chapters.h"

#include <algorithm>

namespace {

// Seconds both spans share.
i64 Overlap(i64 a0, i64 a1, i64 b0, i64 b1) {
  i64 from = a0 > b0 ? a0 : b0, to = a1 < b1 ? a1 : b1;
  return to > from ? to - from : 0;
}

// The seconds of event e within the recorded time; 0 when not known.
i64 Recorded(const StreamTables& t, const EventEntry& e) {
  if (!t.timeKnown || !e.startKnown || !e.durationKnown) return 0;
  return Overlap(e.start, e.start + e.duration, t.firstTime, t.lastTime);
}

// The first present table of service read at all: the event running when
// reading began, or null.
const PresentSeen* FirstRead(const StreamTables& t, u16 service) {
  for (const PresentSeen& p : t.presents)
    if (p.serviceId == service) return &p;
  return nullptr;
}

struct Placed {
  Chapter chapter;
  i64 raw;  // before it was moved to begin
};

// Where event e's chapter begins; false when nothing places it.
bool Place(const StreamTables& t, u16 service, const EventEntry& e, const ChapterClock& clock,
           i64 begin, Placed* out) {
  out->chapter = Chapter{&e, 0, kFromSwitch};
  for (const PresentSeen& p : t.presents) {
    if (p.serviceId != service || p.eventId != e.eventId || !p.switched || !p.stampKnown) continue;
    if (!clock.place(clock.context, p.stamp, p.offset, &out->chapter.at)) continue;
    out->raw = out->chapter.at;
    return true;
  }
  const PresentSeen* first = FirstRead(t, service);
  if (first && first->eventId == e.eventId) {
    out->chapter.at = out->raw = begin;
    out->chapter.from = kFromBeginning;
    return true;
  }
  const ClockAnchor* anchor = AnchorOf(t, service);
  i64 at;
  if (!e.startKnown || !anchor || !clock.place(clock.context, anchor->stamp, anchor->offset, &at)) return false;
  out->chapter.at = out->raw = at + TicksFromAnchor(*anchor, e.start);
  out->chapter.from = kFromStartTime;
  return true;
}

}  // namespace

const EventEntry* ChooseProgramme(const StreamTables& t, u16 service) {
  const EventEntry* best = nullptr;
  i64 most = -1;
  for (const EventEntry& e : t.events) {
    if (e.serviceId != service) continue;
    i64 overlap = Recorded(t, e);
    if (overlap > most || (overlap == most && e.present && !best->present)) {
      best = &e;
      most = overlap;
    }
  }
  return best;
}

const PresentSeen* FirstPresent(const StreamTables& t, u16 service, u16 eventId) {
  for (const PresentSeen& p : t.presents)
    if (p.serviceId == service && p.eventId == eventId) return &p;
  return nullptr;
}

const PresentSeen* PresentAfter(const StreamTables& t, u16 service, i64 start) {
  for (const PresentSeen& p : t.presents)
    if (p.serviceId == service && p.start > start) return &p;
  return nullptr;
}

const ClockAnchor* AnchorOf(const StreamTables& t, u16 service) {
  for (const ProgramTable& p : t.programs)
    if (p.number == service && p.anchor.known) return &p.anchor;
  return nullptr;
}

void FindChapters(const StreamTables& t, u16 service, const ChapterClock& clock, i64 begin, i64 end,
                  std::vector<Chapter>* chapters) {
  chapters->clear();
  std::vector<Placed> placed;
  for (size_t i = 0; i < t.events.size(); ++i) {
    const EventEntry& e = t.events[i];
    if (e.serviceId != service) continue;
    // An event's id names it; a later entry is the broadcaster's update.
    bool updated = false;
    for (size_t j = i + 1; j < t.events.size() && !updated; ++j)
      updated = t.events[j].serviceId == service && t.events[j].eventId == e.eventId;
    if (updated || (!FirstPresent(t, service, e.eventId) && Recorded(t, e) == 0)) continue;
    Placed p;
    if (Place(t, service, e, clock, begin, &p)) placed.push_back(p);
  }
  std::stable_sort(placed.begin(), placed.end(),
                   [](const Placed& a, const Placed& b) { return a.raw < b.raw; });
  for (size_t i = 0; i < placed.size(); ++i) {
    Chapter c = placed[i].chapter;
    if (c.at >= end) break;
    // Of those that began by begin, the last; of two at one place, the later.
    bool next = i + 1 < placed.size();
    if (next && placed[i + 1].raw <= begin) continue;
    if (next && placed[i + 1].raw == placed[i].raw) continue;
    if (c.at < begin) c.at = begin;
    chapters->push_back(c);
  }
}

const char* GenreName(u8 level1) {
  static const char* const kNames[] = {
      nullptr,
      "Movie/Drama",
      "News/Current affairs",
      "Show/Game show",
      "Sports",
      "Children's/Youth programmes",
      "Music/Ballet/Dance",
      "Arts/Culture (without music)",
      "Social/Political issues/Economics",
      "Education/Science/Factual topics",
      "Leisure hobbies",
      "Special characteristics",
  };
  return level1 < sizeof kNames / sizeof kNames[0] ? kNames[level1] : nullptr;
}
