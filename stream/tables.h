// The tables of a transport stream, through libdvbpsi: PAT, PMT, SDT, EIT
// present/following and TDT/TOT, kept as plain records with their strings
// as broadcast (undecoded bytes).
#ifndef MELVIR_STREAM_TABLES_H
#define MELVIR_STREAM_TABLES_H

#include <set>
#include <string>
#include <vector>

#include "stream/dvb_time.h"
#include "stream/teletext.h"

struct dvbpsi_s;

// One entry of a subtitling descriptor (0x59): a DVB subtitle service.
struct SubtitlingEntry {
  char language[4];  // ISO 639-2, "" when not printable
  u8 type;           // subtitling_type: 0x10-0x15, 0x20-0x25 for the hard of hearing
};
inline bool IsHearingImpairedSubtitling(const SubtitlingEntry& e) { return e.type >= 0x20 && e.type <= 0x25; }

struct ElementaryStream {
  u16 pid;
  u8 streamType;
  bool ac3, eac3, teletext, subtitles;  // the descriptors that say what a private stream holds
  char language[4];                     // ISO 639, or ""
  std::vector<TeletextEntry> pages;     // the teletext descriptor's entries
  std::vector<SubtitlingEntry> subtitling;  // the subtitling descriptor's
};

// A broadcast time and the programme's clock when it came: what maps an
// event's start time onto the stream.
struct ClockAnchor {
  bool known;
  i64 utc;     // the TDT's or TOT's time
  u64 stamp;   // the programme's PCR before it, 90 kHz, 33 bits
  u64 offset;  // stream offset of the packet that completed the table
};

struct ProgramTable {
  u16 number;
  u16 pmtPid;
  bool known;  // its PMT has been seen
  u16 pcrPid;
  std::vector<ElementaryStream> streams;
  bool pcrSeen;        // a PCR on pcrPid since its PMT
  u64 pcr;             // the latest, 27 MHz
  ClockAnchor anchor;  // the first time table after a PCR
};

struct ServiceEntry {
  u16 serviceId;
  u8 type;
  std::string name, provider;  // as broadcast
};

struct EventEntry {
  u16 serviceId;
  u16 eventId;
  bool present;      // from section 0 (present) rather than 1 (following)
  bool startKnown, durationKnown;
  i64 start;         // seconds since 1970 UTC
  u32 duration;      // seconds
  std::string title, text;
  char language[4];
  // The extended event descriptors' texts (0x4E) of the first language,
  // in order, each as broadcast (each may choose its own character table).
  std::vector<std::string> extended;
  bool contentKnown;
  u8 content;        // content_nibble_level_1 of the first content descriptor (0x54)
};

// What tells one event from another: its service, its id and its start.
struct EventKey {
  u16 serviceId, eventId;
  i64 start;
};
bool operator<(const EventKey& a, const EventKey& b);

// At most this many events are kept: a broadcast's present/following
// tables name a few per service and hour; a hostile stream names a new one
// in every section.
const u32 kMaxEvents = 4096;
// And at most this many tables of SDT, EIT and time (a multiplex carries a
// few dozen services).
const u32 kMaxSubtables = 256;

// Where the present/following table first named an event present: the
// broadcaster's own signal that the programme before it ended.
struct PresentSeen {
  u16 serviceId, eventId;
  i64 start;         // the event's start: with the two ids, its EventKey
  u64 offset;        // stream offset of the packet that completed the table
  bool stampKnown;   // the service's programme had a PCR by then
  u64 stamp;         // that PCR, 90 kHz, 33 bits
  // The service's present event before was another one, read without a
  // skip since: a switch, not the first table read.
  bool switched;
};
// At most this many are kept: a broadcast switches a few times an hour.
const u32 kMaxPresents = 1024;
// And at most this many bytes of extended event text, over all events.
const u32 kMaxExtendedBytes = 1u << 20;

// The event a service's present/following table names present now, and
// where the first section of the table's latest version began: libdvbpsi
// gives a new version once it has every section, which may be a
// repetition (two seconds) later.
struct ShowingNow {
  u16 serviceId, eventId;
  i64 start;
  bool valid;  // false after a skip: the next one is no switch
  bool versionSeen;
  u8 version;
  u64 versionOffset;
  bool versionStampKnown;
  u64 versionStamp;
};

struct LocalOffset {
  bool known;
  int minutes;         // signed: east of Greenwich is positive
  bool changes;        // time_of_change is a time
  i64 timeOfChange;
  int nextMinutes;
};
// The offset in force at utc: the next one from its time of change on.
inline int OffsetMinutesAt(const LocalOffset& o, i64 utc) {
  return o.changes && utc >= o.timeOfChange ? o.nextMinutes : o.minutes;
}

struct StreamTables {
  bool patSeen, sdtSeen, eitSeen, timeSeen;
  std::vector<ProgramTable> programs;  // of the PAT, program 0 (the NIT) left out
  std::vector<ServiceEntry> services;
  std::vector<EventEntry> events;      // every distinct event, in order seen (kMaxEvents at most)
  std::set<EventKey> eventKeys;        // theirs
  bool timeKnown;
  i64 firstTime, lastTime;             // TDT or TOT, as broadcast
  LocalOffset offset;                  // from the first TOT with one
  // One decoder per PID that carries tables (PMT PIDs added as the PAT
  // names them), and for each PID its decoder's index + 1, or 0.
  std::vector<dvbpsi_s*> decoders;
  std::vector<u16> decoderPids;  // each decoder's PID, so that ending costs no walk over every PID
  std::vector<u16> decoderOf;
  std::vector<u8> streamTypeOf;  // for each PID the stream_type a PMT gave it, or 0
  u32 subtables;  // tables attached to the demuxes of the SDT, EIT and time PIDs
  std::vector<PresentSeen> presents;  // in stream order (kMaxPresents at most)
  std::vector<ShowingNow> showing;    // by service
  u32 extendedBytes;                  // kept of extended event texts
  u64 at;                             // stream offset of the packet being decoded
};

// False when libdvbpsi cannot be set up.
bool StartTables(StreamTables* tables);
void EndTables(StreamTables* tables);
inline bool CarriesTables(const StreamTables& t, u16 pid) { return t.decoderOf[pid] != 0; }
// Gives a packet of a PID that carries tables, at stream offset, to its decoder.
void PushTablePacket(StreamTables* tables, u16 pid, const u8* packet, u64 offset);
// A PCR (27 MHz) on pid: the clock of the programmes whose PCR PID it is.
void SeeTablePcr(StreamTables* tables, u16 pid, u64 pcr);
// The reader skips bytes: the next present event of each service is no switch.
void ForgetShowing(StreamTables* tables);
// PAT, the PMT of each program, SDT, an EIT present/following, a time.
bool TablesComplete(const StreamTables& tables);

#endif
