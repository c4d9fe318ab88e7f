// A recording's place in the library, from its probe.
#include "library/library_entry.h"

#include <cstdlib>

#include "platform/platform.h"
#include "stream/chapters.h"
#include "text/names.h"

namespace {

const u8 kMovieDrama = 0x1;   // content_nibble_level_1: movie/drama (films, series, soaps)
const u32 kShortLine = 60;    // characters: a short text this long on one line names an episode

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The title made a file name by the rules of --name-format's names.
std::string Safe(const std::string& title) {
  char stem[kDecodedNameSize + 1];
  SafeStem(title.c_str(), stem, sizeof stem);
  return stem;
}

// UTF-8 characters (not continuation bytes).
u32 Characters(const std::string& s) {
  u32 n = 0;
  for (char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

std::string Decoded(const std::string& raw, bool text) {
  char out[kBroadcastStringSize];
  DecodeStreamString(raw, text, out, sizeof out);
  return out;
}

}  // namespace

int ProductionYear(const std::string& s, int broadcastYear) {
  int year = 0;
  for (size_t i = 0; i + 4 <= s.size(); ++i) {
    if (!IsDigit(s[i]) || (i > 0 && IsDigit(s[i - 1]))) continue;
    size_t end = i;
    while (end < s.size() && IsDigit(s[end])) ++end;
    if (end - i != 4) continue;
    int y = std::atoi(s.substr(i, 4).c_str());
    if (y >= 1900 && (broadcastYear == 0 || y <= broadcastYear)) year = y;
  }
  return year;
}

void LocalTimeOf(const ProbeSummary& s, i64 utc, CivilTime* local, bool* utcOnly) {
  *utcOnly = !s.offsetKnown;
  ToCivil(utc + (s.offsetKnown ? i64(OffsetMinutesAt(s.localOffset, utc)) * 60 : 0), local);
}

std::string CivilDate(const CivilTime& t) {
  char out[16];
  FormatText(out, sizeof out, "%04d-%02d-%02d", t.year, t.month, t.day);
  return out;
}

std::string CivilDateTime(const CivilTime& t) {
  char out[32];
  FormatText(out, sizeof out, "%s %02d:%02d:%02d", CivilDate(t).c_str(), t.hour, t.minute, t.second);
  return out;
}

void EntryOfRecording(const ProbeRecord* record, const char* name, LibraryAs as, LibraryEntry* e) {
  *e = LibraryEntry{};
  e->utc = true;
  const ProbeSummary* s = record && record->summary.transportStream ? &record->summary : nullptr;
  const EventSummary* ev = s && s->event.known ? &s->event : nullptr;
  if (ev) {
    e->title = Decoded(ev->title, false);
    e->shortText = Decoded(ev->text, true);
    for (const std::string& piece : ev->extended) e->plot += Decoded(piece, true);
    if (e->plot.empty()) e->plot = e->shortText;
    if (ev->contentKnown && GenreName(ev->content)) e->genre = GenreName(ev->content);
    if (ev->durationKnown) e->runtimeMinutes = (ev->duration + 30) / 60;
  }
  if (s && s->serviceKnown) e->service = Decoded(s->service.name, false);
  if (s && !e->runtimeMinutes && s->durationSource != kDurationNone)
    e->runtimeMinutes = u32(s->durationSeconds / 60 + 0.5);
  // The event's start, not the padded recording's; the recording's first
  // broadcast time when the event has none.
  if (ev && ev->startKnown) {
    e->timeKnown = true;
    LocalTimeOf(*s, ev->start, &e->local, &e->utc);
  } else if (s && s->timeKnown) {
    e->timeKnown = true;
    LocalTimeOf(*s, s->firstTime, &e->local, &e->utc);
  }
  bool titled = !e->title.empty();
  if (!titled) e->title = name;
  e->year = ProductionYear(e->shortText, e->timeKnown ? e->local.year : 0);
  bool film = !titled || (ev->contentKnown && ev->content == kMovieDrama && e->year);
  if (as != kAsContent) film = as == kAsFilm;
  // An episode is numbered by its air time: without one it can only be a film.
  if (!e->timeKnown) film = true;
  std::string title = Safe(e->title);
  if (film) {
    e->kind = kLibraryFilm;
    e->stem = e->year ? title + " (" + std::to_string(e->year) + ")" : title;
    e->folder = "Movies/" + e->stem;
    return;
  }
  e->kind = kLibraryEpisode;
  const CivilTime& t = e->local;
  char number[32];
  FormatText(number, sizeof number, "S%04dE%02d%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute);
  e->show = "Shows/" + title;
  e->folder = e->show + "/Season " + std::to_string(t.year);
  e->stem = title + " " + number;
  bool oneLine = e->shortText.find('\n') == std::string::npos;
  e->episodeTitle = !e->shortText.empty() && oneLine && Characters(e->shortText) <= kShortLine
                        ? e->shortText : e->title;
}
