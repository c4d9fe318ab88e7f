// melvir-ts-si: adds what a broadcast carries beside the programme to a
// transport stream ffmpeg made: EIT present/following, TDT and TOT sections
// (with their CRC), repeated every 2 s of stream time as a broadcaster
// repeats them; optionally a service description of its own instead of
// ffmpeg's, the discontinuity indicator where the PCR jumps, and teletext
// subtitle pages (tools/ts_teletext.h) and DVB subtitles (tools/ts_dvbsub.h)
// on streams the PMT names. For the
// tests of the stream reader.
//
// usage: melvir-ts-si IN OUT --utc SECONDS
//          [--event START|DURATION|LANG|TITLE|TEXT[|GENRE|EXTENDED|SWITCH]]...
//          [--offset MINUTES[|CHANGE|NEXT]] [--service-id N] [--sdt NAME|PROVIDER]
//          [--mark-discontinuity] [--eit-flood COUNT] [--flood-services]
//          [--teletext LANG|TYPE|PAGE]... [--dvbsub LANG|SECONDS]
//          [--subtitle PAGE|START|END|TEXT[|SUBSET|C12C14[|X28:N|M29:N]]]...
// Times are seconds since 1970 UTC; strings take \xNN escapes. An event's
// GENRE is its content descriptor's first byte (0x10: a film), EXTENDED its
// extended event text (split over descriptors of 100 bytes), SWITCH the
// time the present/following table names it present (its START when not
// given: a programme that starts late or early); empty ones are left out. --eit-flood
// appends COUNT EIT present tables as a hostile stream sends them: each
// with an event never seen before and a version the one before did not
// have; with --flood-services each for a service never seen before.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ts_sections.h"
#include "ts_dvbsub.h"
#include "ts_teletext.h"

namespace {

const int kPacket = 188;

struct Event {
  int64_t start;
  uint32_t duration;
  std::string language, title, text;
  int content;  // -1: no content descriptor
  std::string extended;
  int64_t switchAt;
};

struct Setup {
  int64_t utc = 0;
  std::vector<Event> events;
  bool offset = false;
  int offsetMinutes = 0, nextMinutes = 0;
  int64_t change = -1;
  uint16_t serviceId = 1, tsid = 1, onid = 1;
  bool sdt = false;
  std::string name, provider;
  bool markDiscontinuity = false;
  long floodTables = 0;
  bool floodServices = false;
  ttx::TeletextSetup teletext;
  dvbsub::DvbSubSetup dvbsub;
};

// Section section of last (present 0, following 1) with event e.
Bytes EitSection(const Setup& st, const Event* e, uint8_t section, uint8_t last, uint8_t version,
                 bool running, uint16_t eventId) {
  Bytes s = LongHeader(0x4E, st.serviceId, version, section, last);
  Put16(&s, st.tsid);
  Put16(&s, st.onid);
  s.push_back(last);
  s.push_back(0x4E);
  if (e) {
    Put16(&s, eventId);
    PutMjd(&s, e->start);
    PutBcdDuration(&s, e->duration);
    Bytes d = {0x4D, 0};
    for (int i = 0; i < 3; ++i) d.push_back(uint8_t(i < int(e->language.size()) ? e->language[i] : ' '));
    d.push_back(uint8_t(e->title.size()));
    Append(&d, e->title);
    d.push_back(uint8_t(e->text.size()));
    Append(&d, e->text);
    d[1] = uint8_t(d.size() - 2);
    if (e->content >= 0) Append(&d, Bytes{0x54, 2, uint8_t(e->content), 0});
    const size_t piece = 100;
    size_t pieces = (e->extended.size() + piece - 1) / piece;
    for (size_t i = 0; i < pieces; ++i) {
      std::string text = e->extended.substr(i * piece, piece);
      Bytes x = {0x4E, 0, uint8_t(i << 4 | (pieces - 1)), 0, 0, 0, 0, uint8_t(text.size())};
      for (int k = 0; k < 3; ++k) x[3 + k] = uint8_t(k < int(e->language.size()) ? e->language[k] : ' ');
      Append(&x, text);
      x[1] = uint8_t(x.size() - 2);
      Append(&d, x);
    }
    Put16(&s, (running ? 4u : 1u) << 13 | unsigned(d.size()));
    Append(&s, d);
  }
  Close(&s, true);
  return s;
}

Bytes TimeSection(const Setup& st, int64_t now, bool tot) {
  Bytes s = {uint8_t(tot ? 0x73 : 0x70), 0x70, 0};
  PutMjd(&s, now);
  if (tot) {
    Bytes d;
    if (st.offset) {
      d = {0x58, 13, 'F', 'R', 'A', 0x02};
      int minutes = st.offsetMinutes < 0 ? -st.offsetMinutes : st.offsetMinutes;
      int next = st.nextMinutes < 0 ? -st.nextMinutes : st.nextMinutes;
      d[5] |= st.offsetMinutes < 0 ? 1 : 0;
      d.push_back(uint8_t(Bcd(minutes / 60)));
      d.push_back(uint8_t(Bcd(minutes % 60)));
      PutMjd(&d, st.change >= 0 ? st.change : 0);
      if (st.change < 0) std::memset(&d[d.size() - 5], 0xFF, 5);
      d.push_back(uint8_t(Bcd(next / 60)));
      d.push_back(uint8_t(Bcd(next % 60)));
    }
    Put16(&s, 0xF000 | unsigned(d.size()));
    Append(&s, d);
  }
  Close(&s, tot);
  return s;
}

Bytes SdtSection(const Setup& st) {
  Bytes s = LongHeader(0x42, st.tsid, 0, 0, 0);
  Put16(&s, st.onid);
  s.push_back(0xFF);
  Put16(&s, st.serviceId);
  s.push_back(0xFD);  // EIT present/following in this stream
  Bytes d = {0x48, 0, 0x01, uint8_t(st.provider.size())};
  Append(&d, st.provider);
  d.push_back(uint8_t(st.name.size()));
  Append(&d, st.name);
  d[1] = uint8_t(d.size() - 2);
  Put16(&s, 0x8000 | unsigned(d.size()));
  Append(&s, d);
  Close(&s, true);
  return s;
}

uint8_t g_cc[8192];

void Packetize(std::FILE* out, uint16_t pid, const Bytes& section) {
  size_t at = 0;
  for (bool first = true; at < section.size(); first = false) {
    uint8_t p[kPacket];
    std::memset(p, 0xFF, sizeof p);
    p[0] = 0x47;
    p[1] = uint8_t((first ? 0x40 : 0) | pid >> 8);
    p[2] = uint8_t(pid);
    p[3] = uint8_t(0x10 | (g_cc[pid]++ & 0x0F));
    int room = kPacket - 4, start = 4;
    if (first) {
      p[4] = 0;  // pointer_field
      start = 5;
      --room;
    }
    size_t n = section.size() - at < size_t(room) ? section.size() - at : size_t(room);
    std::memcpy(p + start, section.data() + at, n);
    at += n;
    std::fwrite(p, 1, sizeof p, out);
  }
}

// The event running at now and the one after it.
void PresentFollowing(const Setup& st, int64_t now, const Event** present, const Event** following) {
  *present = *following = nullptr;
  for (const Event& e : st.events) {
    if (e.switchAt <= now) *present = &e;
    else if (!*following) *following = &e;
  }
}

uint16_t EventId(const Setup& st, const Event* e) { return e ? uint16_t(e - &st.events[0] + 1) : 0; }

// Tables of one section, each sent twice as a decoder needs to take it as
// whole, each with an event and a version the one before did not have.
void Flood(std::FILE* out, Setup st) {
  Event e = {st.utc, 60, "eng", "Flood", "A hostile event table", -1, "", st.utc};
  for (long i = 0; i < st.floodTables; ++i) {
    if (st.floodServices) st.serviceId = uint16_t(i + 2);
    e.start = st.utc + i * 60;
    Bytes section = EitSection(st, &e, 0, 0, uint8_t(i & 0x1F), true, uint16_t(i));
    Packetize(out, 0x12, section);
    Packetize(out, 0x12, section);
  }
}

void InsertTables(std::FILE* out, const Setup& st, int64_t now) {
  static const Event* shown = reinterpret_cast<const Event*>(1);
  static uint8_t version = 0;
  const Event *present, *following;
  PresentFollowing(st, now, &present, &following);
  if (present != shown && shown != reinterpret_cast<const Event*>(1)) ++version;
  shown = present;
  if (st.sdt) Packetize(out, 0x11, SdtSection(st));
  if (!st.events.empty()) {
    Packetize(out, 0x12, EitSection(st, present, 0, 1, version, true, EventId(st, present)));
    Packetize(out, 0x12, EitSection(st, following, 1, 1, version, false, EventId(st, following)));
  }
  Packetize(out, 0x14, TimeSection(st, now, false));
  Packetize(out, 0x14, TimeSection(st, now, true));
}

// The section a packet that starts one holds, and its length; null if none.
uint8_t* StartedSection(uint8_t* p, size_t* length) {
  if (!(p[1] & 0x40) || !(p[3] & 0x10)) return nullptr;
  size_t at = p[3] & 0x20 ? 5u + p[4] : 4u;
  if (at >= kPacket || (at += 1 + p[at]) + 3 > size_t(kPacket)) return nullptr;
  *length = 3 + size_t((p[at + 1] & 0x0F) << 8 | p[at + 2]);
  return at + *length <= size_t(kPacket) ? p + at : nullptr;
}

// Learns the PMT's PID from the PAT; adds the subtitle streams to the PMT.
void AddSubtitlesToPmt(const Setup& st, uint8_t* p, int* pmtPid) {
  size_t length;
  uint8_t* s = StartedSection(p, &length);
  int pid = (p[1] & 0x1F) << 8 | p[2];
  if (!s || length < 16) return;
  if (pid == 0 && s[0] == 0x00) {
    for (size_t at = 8; at + 4 <= length - 4; at += 4)
      if (s[at] || s[at + 1]) *pmtPid = (s[at + 2] & 0x1F) << 8 | s[at + 3];
    return;
  }
  if (pid != *pmtPid || s[0] != 0x02) return;
  Bytes entry;
  if (!st.teletext.pages.empty()) Append(&entry, ttx::PmtEntry(st.teletext));
  if (!st.dvbsub.language.empty()) Append(&entry, dvbsub::PmtEntry(st.dvbsub));
  if (s + length + entry.size() > p + kPacket) return;
  Bytes section(s, s + length - 4);  // without its CRC
  Append(&section, entry);
  Close(&section, true);
  std::memcpy(s, section.data(), section.size());
}

bool ParseArgs(int argc, char** argv, Setup* st) {
  for (int i = 3; i < argc; ++i) {
    std::string a = argv[i];
    bool value = i + 1 < argc;
    if (a == "--utc" && value) st->utc = std::atoll(argv[++i]);
    else if (a == "--service-id" && value) st->serviceId = uint16_t(std::atoi(argv[++i]));
    else if (a == "--mark-discontinuity") st->markDiscontinuity = true;
    else if (a == "--eit-flood" && value) st->floodTables = std::atol(argv[++i]);
    else if (a == "--flood-services") st->floodServices = true;
    else if (a == "--event" && value) {
      std::vector<std::string> p = Split(argv[++i]);
      if (p.size() != 5 && p.size() != 8) return false;
      p.resize(8);
      int64_t start = std::atoll(p[0].c_str());
      st->events.push_back({start, uint32_t(std::atol(p[1].c_str())), p[2], Unescape(p[3]),
                            Unescape(p[4]), p[5].empty() ? -1 : int(std::strtol(p[5].c_str(), nullptr, 0)),
                            Unescape(p[6]), p[7].empty() ? start : std::atoll(p[7].c_str())});
    } else if (a == "--offset" && value) {
      std::vector<std::string> p = Split(argv[++i]);
      st->offset = true;
      st->offsetMinutes = st->nextMinutes = std::atoi(p[0].c_str());
      if (p.size() == 3) {
        st->change = std::atoll(p[1].c_str());
        st->nextMinutes = std::atoi(p[2].c_str());
      }
    } else if (a == "--teletext" && value) {
      if (!ttx::DescribePage(&st->teletext, Split(argv[++i]))) return false;
    } else if (a == "--dvbsub" && value) {
      if (!dvbsub::Describe(&st->dvbsub, Split(argv[++i]))) return false;
    } else if (a == "--subtitle" && value) {
      std::vector<std::string> p = Split(argv[++i]);
      if (p.size() > 3) p[3] = Unescape(p[3]);
      if (!ttx::AddSubtitle(&st->teletext, p)) return false;
    } else if (a == "--sdt" && value) {
      std::vector<std::string> p = Split(argv[++i]);
      if (p.size() != 2) return false;
      st->sdt = true;
      st->name = Unescape(p[0]);
      st->provider = Unescape(p[1]);
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Setup st;
  if (argc < 3 || !ParseArgs(argc, argv, &st)) {
    std::fprintf(stderr, "usage: melvir-ts-si IN OUT --utc SECONDS\n"
                         "         [--event START|DURATION|LANG|TITLE|TEXT[|GENRE|EXTENDED|SWITCH]]...\n"
                         "         [--offset MINUTES[|CHANGE|NEXT]] [--service-id N] [--sdt NAME|PROVIDER]\n"
                         "         [--mark-discontinuity] [--eit-flood COUNT] [--flood-services]\n"
                         "         [--teletext LANG|TYPE|PAGE]... [--dvbsub LANG|SECONDS]\n"
                         "         [--subtitle PAGE|START|END|TEXT[|SUBSET|C12C14[|X28:N|M29:N]]]...\n");
    return 2;
  }
  std::FILE* in = std::fopen(argv[1], "rb");
  std::FILE* out = std::fopen(argv[2], "wb");
  if (!in || !out) {
    std::perror("melvir-ts-si");
    return 1;
  }
  const uint64_t wrap = (uint64_t(1) << 33) * 300, second = 27000000;
  bool started = false;
  int pcrPid = -1, pmtPid = -1;
  uint64_t lastPcr = 0, firstPcr = 0, elapsed = 0, nextAt = 0;
  uint8_t p[kPacket];
  while (std::fread(p, 1, kPacket, in) == size_t(kPacket)) {
    int pid = (p[1] & 0x1F) << 8 | p[2];
    if (st.sdt && pid == 0x11) continue;  // ffmpeg's own is replaced
    bool pcr = (p[3] & 0x20) && p[4] >= 7 && (p[5] & 0x10);
    if (pcr && (pcrPid < 0 || pid == pcrPid)) {
      pcrPid = pid;
      uint64_t base = uint64_t(p[6]) << 25 | uint64_t(p[7]) << 17 | uint64_t(p[8]) << 9 |
                      uint64_t(p[9]) << 1 | p[10] >> 7;
      uint64_t value = base * 300 + ((p[10] & 1) << 8 | p[11]);
      uint64_t ahead = (value + wrap - lastPcr) % wrap;
      if (started && ahead <= second) elapsed += ahead;
      else if (started && st.markDiscontinuity) p[5] |= 0x80;
      if (!started) firstPcr = value;
      started = true;
      lastPcr = value;
      if (elapsed >= nextAt) {
        InsertTables(out, st, st.utc + int64_t(elapsed / second));
        nextAt += 2 * second;
      }
      ttx::WriteDueTeletext(&st.teletext, out, firstPcr / 300, double(elapsed) / second);
      dvbsub::WriteDue(&st.dvbsub, out, firstPcr / 300, double(elapsed) / second);
    }
    if (!st.teletext.pages.empty() || !st.dvbsub.language.empty()) AddSubtitlesToPmt(st, p, &pmtPid);
    std::fwrite(p, 1, kPacket, out);
  }
  Flood(out, st);
  bool ok = std::fclose(out) == 0;
  std::fclose(in);
  return ok ? 0 : 1;
}
