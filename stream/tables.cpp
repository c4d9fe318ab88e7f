// The stream's tables through libdvbpsi, one decoder per PID.
#include "stream/tables.h"

#include <cstring>

extern "C" {
#include <dvbpsi/dvbpsi.h>
#include <dvbpsi/psi.h>
#include <dvbpsi/descriptor.h>
#include <dvbpsi/demux.h>
#include <dvbpsi/pat.h>
#include <dvbpsi/pmt.h>
#include <dvbpsi/sdt.h>
#include <dvbpsi/eit.h>
#include <dvbpsi/tot.h>
}

#include "stream/descriptors.h"
#include "stream/packet.h"

namespace {

const u16 kPatPid = 0x00, kSdtPid = 0x11, kEitPid = 0x12, kTimePid = 0x14;
const u8 kSdtActual = 0x42, kEitActualPf = 0x4E, kTdt = 0x70, kTot = 0x73;

// libdvbpsi would write its complaints about damaged sections to stderr.
void Quiet(dvbpsi_t*, const dvbpsi_msg_level_t, const char*) {}

dvbpsi_t* AddDecoder(StreamTables* t, u16 pid) {
  if (t->decoderOf[pid]) return t->decoders[t->decoderOf[pid] - 1];
  dvbpsi_t* d = dvbpsi_new(Quiet, DVBPSI_MSG_NONE);
  if (!d) return nullptr;
  t->decoders.push_back(d);
  t->decoderPids.push_back(pid);
  t->decoderOf[pid] = u16(t->decoders.size());
  return d;
}

const u64 kStampMask = (u64(1) << 33) - 1;

ProgramTable* ProgramOf(StreamTables* t, u16 number) {
  for (ProgramTable& p : t->programs)
    if (p.number == number) return &p;
  return nullptr;
}

void SeeTime(StreamTables* t, u64 raw) {
  i64 seconds;
  if (!DecodeMjdTime(raw, &seconds)) return;
  t->timeSeen = true;
  if (!t->timeKnown) t->firstTime = seconds;
  t->timeKnown = true;
  t->lastTime = seconds;
  for (ProgramTable& p : t->programs)
    if (p.pcrSeen && !p.anchor.known) p.anchor = ClockAnchor{true, seconds, p.pcr / 300 & kStampMask, t->at};
}

// The present/following state of a service (null when there are too many).
ShowingNow* ShowingOf(StreamTables* t, u16 service) {
  for (ShowingNow& s : t->showing)
    if (s.serviceId == service) return &s;
  if (t->showing.size() >= kMaxSubtables) return nullptr;
  t->showing.push_back(ShowingNow{});
  t->showing.back().serviceId = service;
  return &t->showing.back();
}

// The programme's clock now, 90 kHz.
bool StampNow(StreamTables* t, u16 service, u64* stamp) {
  const ProgramTable* p = ProgramOf(t, service);
  if (!p || !p->pcrSeen) return false;
  *stamp = p->pcr / 300 & kStampMask;
  return true;
}

// A packet of the EIT PID that starts a present/following section: where
// a new version of a service's table begins. Read from the section's
// header, within the packet.
void SeeEitStart(StreamTables* t, const u8* p) {
  u32 at = PayloadStart(p);
  if (at >= kPacketSize) return;
  at += 1 + p[at];  // the pointer field
  if (at + 6 > kPacketSize || p[at] != kEitActualPf) return;
  u16 service = u16(p[at + 3] << 8 | p[at + 4]);
  u8 version = p[at + 5] >> 1 & 0x1F;
  ShowingNow* now = ShowingOf(t, service);
  if (!now || (now->versionSeen && now->version == version)) return;
  now->versionSeen = true;
  now->version = version;
  now->versionOffset = t->at;
  now->versionStampKnown = StampNow(t, service, &now->versionStamp);
}

// The present event of a service, named by version of its table: kept
// where it differs from the one named before, at the version's start.
void SeePresent(StreamTables* t, const EventEntry& e, u8 version) {
  ShowingNow* now = ShowingOf(t, e.serviceId);
  if (!now || (now->valid && now->eventId == e.eventId && now->start == e.start)) return;
  bool switched = now->valid;
  now->eventId = e.eventId;
  now->start = e.start;
  now->valid = true;
  if (t->presents.size() >= kMaxPresents) return;
  PresentSeen seen = {e.serviceId, e.eventId, e.start, t->at, false, 0, switched};
  seen.stampKnown = StampNow(t, e.serviceId, &seen.stamp);
  if (now->versionSeen && now->version == version) {
    seen.offset = now->versionOffset;
    seen.stampKnown = now->versionStampKnown;
    seen.stamp = now->versionStamp;
  }
  t->presents.push_back(seen);
}

void OnPmt(void* context, dvbpsi_pmt_t* pmt) {
  StreamTables* t = static_cast<StreamTables*>(context);
  for (ProgramTable& p : t->programs) {
    if (p.number != pmt->i_program_number) continue;
    p.known = true;
    p.pcrPid = pmt->i_pcr_pid;
    p.streams.clear();
    for (dvbpsi_pmt_es_t* es = pmt->p_first_es; es; es = es->p_next) {
      ElementaryStream e = {};
      e.pid = es->i_pid;
      e.streamType = es->i_type;
      DescribeStream(es->p_first_descriptor, &e);
      p.streams.push_back(e);
      t->streamTypeOf[e.pid & kNullPid] = e.streamType;
    }
  }
  dvbpsi_pmt_delete(pmt);
}

void OnPat(void* context, dvbpsi_pat_t* pat) {
  StreamTables* t = static_cast<StreamTables*>(context);
  t->patSeen = true;
  std::vector<ProgramTable> programs;
  for (dvbpsi_pat_program_t* p = pat->p_first_program; p; p = p->p_next) {
    if (p->i_number == 0) continue;  // the NIT
    ProgramTable program = {};
    program.number = p->i_number;
    program.pmtPid = p->i_pid & kNullPid;
    for (const ProgramTable& old : t->programs)
      if (old.number == program.number && old.pmtPid == program.pmtPid) program = old;
    programs.push_back(program);
  }
  dvbpsi_pat_delete(pat);
  t->programs = programs;
  for (const ProgramTable& p : programs) {
    if (t->decoderOf[p.pmtPid] || p.pmtPid == kNullPid) continue;
    dvbpsi_t* d = AddDecoder(t, p.pmtPid);
    if (d && !dvbpsi_pmt_attach(d, p.number, OnPmt, t)) {
      dvbpsi_delete(d);
      t->decoders.pop_back();
      t->decoderPids.pop_back();
      t->decoderOf[p.pmtPid] = 0;
    }
  }
}

void OnSdt(void* context, dvbpsi_sdt_t* sdt) {
  StreamTables* t = static_cast<StreamTables*>(context);
  t->sdtSeen = true;
  for (dvbpsi_sdt_service_t* s = sdt->p_first_service; s; s = s->p_next) {
    ServiceEntry entry = {s->i_service_id, 0, {}, {}};
    DescribeService(s->p_first_descriptor, &entry);
    bool replaced = false;
    for (ServiceEntry& old : t->services)
      if (old.serviceId == entry.serviceId) old = entry, replaced = true;
    if (!replaced) t->services.push_back(entry);
  }
  dvbpsi_sdt_delete(sdt);
}

void OnEit(void* context, dvbpsi_eit_t* eit) {
  StreamTables* t = static_cast<StreamTables*>(context);
  t->eitSeen = true;
  bool first = true;
  for (dvbpsi_eit_event_t* e = eit->p_first_event; e; e = e->p_next, first = false) {
    EventEntry entry = {};
    entry.serviceId = eit->i_extension;
    entry.eventId = e->i_event_id;
    entry.present = first;
    entry.startKnown = DecodeMjdTime(e->i_start_time, &entry.start);
    entry.durationKnown = DecodeBcdDuration(e->i_duration, &entry.duration);
    // An empty present section leaves the following event first: one
    // marked not running (1) is not taken for present.
    if (first && e->i_running_status != 1) SeePresent(t, entry, eit->i_version);
    if (t->events.size() >= kMaxEvents) break;
    if (!t->eventKeys.insert(EventKey{entry.serviceId, entry.eventId, entry.start}).second) continue;
    DescribeEvent(e->p_first_descriptor, &entry, &t->extendedBytes);
    t->events.push_back(entry);
  }
  dvbpsi_eit_delete(eit);
}

void OnTime(void* context, dvbpsi_tot_t* tot) {
  StreamTables* t = static_cast<StreamTables*>(context);
  SeeTime(t, tot->i_utc_time);
  if (!t->offset.known) ReadLocalOffset(tot->p_first_descriptor, &t->offset);
  dvbpsi_tot_delete(tot);
}

// Only the tables wanted are decoded from the PIDs the demux serves, and of
// those only kMaxSubtables: the demux looks a section's decoder up in a
// list, which a hostile stream naming a new service in every section would
// make as long as there are sections.
void OnNewTable(dvbpsi_t* d, uint8_t table, uint16_t extension, void* context) {
  StreamTables* t = static_cast<StreamTables*>(context);
  if (t->subtables >= kMaxSubtables) return;
  bool attached = false;
  if (table == kSdtActual) attached = dvbpsi_sdt_attach(d, table, extension, OnSdt, context);
  else if (table == kEitActualPf) attached = dvbpsi_eit_attach(d, table, extension, OnEit, context);
  else if (table == kTdt || table == kTot) attached = dvbpsi_tot_attach(d, table, extension, OnTime, context);
  if (attached) ++t->subtables;
}

}  // namespace

bool operator<(const EventKey& a, const EventKey& b) {
  if (a.serviceId != b.serviceId) return a.serviceId < b.serviceId;
  if (a.eventId != b.eventId) return a.eventId < b.eventId;
  return a.start < b.start;
}

bool StartTables(StreamTables* t) {
  t->subtables = 0;
  t->extendedBytes = 0;
  t->at = 0;
  // Zeroed in place: a caller that reads many short streams starts each
  // without reallocating the per-PID tables.
  t->streamTypeOf.resize(kPidCount);
  std::memset(t->streamTypeOf.data(), 0, kPidCount * sizeof t->streamTypeOf[0]);
  t->decoderOf.resize(kPidCount);
  std::memset(t->decoderOf.data(), 0, kPidCount * sizeof t->decoderOf[0]);
  dvbpsi_t* pat = AddDecoder(t, kPatPid);
  if (!pat || !dvbpsi_pat_attach(pat, OnPat, t)) return false;
  for (u16 pid : {kSdtPid, kEitPid, kTimePid}) {
    dvbpsi_t* d = AddDecoder(t, pid);
    if (!d || !dvbpsi_AttachDemux(d, OnNewTable, t)) return false;
  }
  return true;
}

void EndTables(StreamTables* t) {
  for (size_t i = 0; i < t->decoders.size(); ++i) {
    u16 pid = t->decoderPids[i];
    dvbpsi_t* d = t->decoders[i];
    if (pid == kPatPid) dvbpsi_pat_detach(d);
    else if (pid == kSdtPid || pid == kEitPid || pid == kTimePid) dvbpsi_DetachDemux(d);
    else dvbpsi_pmt_detach(d);
    dvbpsi_delete(d);
    t->decoderOf[pid] = 0;
  }
  t->decoders.clear();
  t->decoderPids.clear();
}

void PushTablePacket(StreamTables* t, u16 pid, const u8* packet, u64 offset) {
  u8 copy[kPacketSize];  // libdvbpsi takes a writable packet
  std::memcpy(copy, packet, kPacketSize);
  t->at = offset;
  if (pid == kEitPid && PacketStartsUnit(packet)) SeeEitStart(t, packet);
  dvbpsi_packet_push(t->decoders[t->decoderOf[pid] - 1], copy);
}

void SeeTablePcr(StreamTables* t, u16 pid, u64 pcr) {
  for (ProgramTable& p : t->programs) {
    if (!p.known || p.pcrPid != pid) continue;
    p.pcrSeen = true;
    p.pcr = pcr;
  }
}

void ForgetShowing(StreamTables* t) {
  for (ShowingNow& s : t->showing) s.valid = s.versionSeen = false;
}

bool TablesComplete(const StreamTables& t) {
  if (!t.patSeen || !t.sdtSeen || !t.eitSeen || !t.timeSeen) return false;
  for (const ProgramTable& p : t.programs)
    if (!p.known) return false;
  return true;
}
