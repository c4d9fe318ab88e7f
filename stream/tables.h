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

struct ProgramTable {
  u16 number;
  u16 pmtPid;
  bool known;  // its PMT has been seen
  u16 pcrPid;
  std::vector<ElementaryStream> streams;
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

struct LocalOffset {
  bool known;
  int minutes;         // signed: east of Greenwich is positive
  bool changes;        // time_of_change is a time
  i64 timeOfChange;
  int nextMinutes;
};

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
  std::vector<u16> decoderOf;
  std::vector<u8> streamTypeOf;  // for each PID the stream_type a PMT gave it, or 0
  u32 subtables;  // tables attached to the demuxes of the SDT, EIT and time PIDs
};

// False when libdvbpsi cannot be set up.
bool StartTables(StreamTables* tables);
void EndTables(StreamTables* tables);
inline bool CarriesTables(const StreamTables& t, u16 pid) { return t.decoderOf[pid] != 0; }
// Gives a packet of a PID that carries tables to its decoder.
void PushTablePacket(StreamTables* tables, u16 pid, const u8* packet);
// PAT, the PMT of each program, SDT, an EIT present/following, a time.
bool TablesComplete(const StreamTables& tables);

#endif
