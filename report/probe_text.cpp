// probe without --json: one block of lines per recording.
#include <cinttypes>

#include "text/charset.h"
#include "report/probe_report.h"

namespace {

const char* const kKinds[] = {"video", "audio", "subtitles", "teletext", "data"};

void Event(std::FILE* out, const char* label, const EventSummary& e) {
  if (!e.known) return;
  char title[kBroadcastStringSize], start[21], length[16];
  DecodeStreamString(e.title, false, title, sizeof title);
  FormatIsoUtc(e.start, start);
  FormatHoursMinutes(e.duration, length);
  std::fprintf(out, "  %-10s %s", label, title);
  if (e.startKnown) std::fprintf(out, ", %s", start);
  if (e.durationKnown) std::fprintf(out, ", %s", length);
  if (e.language[0]) std::fprintf(out, " [%s]", e.language);
  std::fputc('\n', out);
}

// The programme's line (when the stream holds several) and its streams.
void Program(std::FILE* out, bool several, u16 number, bool known, const ServiceEntry& service,
             const std::vector<StreamSummary>& streams) {
  if (several) {
    std::fprintf(out, "  %-10s %u", "program", number);
    char name[kBroadcastStringSize];
    DecodeStreamString(service.name, false, name, sizeof name);
    if (known) std::fprintf(out, ", service %s", name);
    std::fputc('\n', out);
  }
  for (const StreamSummary& st : streams) {
    char video[64];
    FormatVideo(st.video, video);
    std::fprintf(out, "  %-10s pid %u, type 0x%02X, %s, %s%s%s%s%s, %u continuity errors\n", "stream",
                 st.pid, st.streamType, kKinds[st.kind], st.codec ? st.codec : "unknown codec",
                 video[0] ? ", " : "", video, st.language[0] ? ", " : "", st.language,
                 st.continuityErrors);
  }
}

// Where each chapter begins (h:mm:ss from the start) and what placed it.
void Chapters(std::FILE* out, const std::vector<ChapterSummary>& chapters) {
  static const char* const kFrom[] = {"EIT switch", "running at the start", "start time"};
  for (const ChapterSummary& c : chapters) {
    char title[kBroadcastStringSize];
    DecodeStreamString(c.title, false, title, sizeof title);
    u32 at = u32(c.startSeconds + 0.5);
    std::fprintf(out, "  %-10s %u:%02u:%02u %s (%s)\n", "chapter", at / 3600, at / 60 % 60, at % 60, title,
                 kFrom[c.from]);
  }
}

// A line for each subtitle page the programme's teletext descriptors name
// and each DVB subtitle service.
void Subtitles(std::FILE* out, const std::vector<StreamSummary>& streams) {
  for (const StreamSummary& st : streams) {
    for (const TeletextEntry& e : st.pages)
      if (IsSubtitleEntry(e))
        std::fprintf(out, "  %-10s teletext page %03X, %s%s (pid %u)\n", "subtitles", e.page,
                     e.language[0] ? e.language : "no language", e.type == 5 ? ", hearing impaired" : "", st.pid);
    for (const SubtitlingEntry& e : st.subtitling)
      std::fprintf(out, "  %-10s DVB, %s, type 0x%02X%s (pid %u)\n", "subtitles",
                   e.language[0] ? e.language : "no language", e.type,
                   IsHearingImpairedSubtitling(e) ? ", hearing impaired" : "", st.pid);
  }
}

}  // namespace

void FormatVideo(const VideoFormat& f, char out[64]) {
  out[0] = 0;
  if (!f.known) return;
  u32 n = u32(std::snprintf(out, 64, "%ux%u", f.width, f.height));
  if (f.rateDen == 1) n += u32(std::snprintf(out + n, 64 - n, ", %u fps", f.rateNum));
  else if (f.rateDen) n += u32(std::snprintf(out + n, 64 - n, ", %.2f fps", double(f.rateNum) / f.rateDen));
  char aspect[24];
  FormatAspect(f, aspect);
  if (aspect[0]) std::snprintf(out + n, 64 - n, ", %s", aspect);
}

void FormatAspect(const VideoFormat& f, char out[24]) {
  out[0] = 0;
  if (f.aspectDen == 100) std::snprintf(out, 24, "%u.%02u:1", f.aspectNum / 100, f.aspectNum % 100);
  else if (f.aspectDen) std::snprintf(out, 24, "%u:%u", f.aspectNum, f.aspectDen);
}

void FormatHoursMinutes(u32 seconds, char out[16]) {
  u32 minutes = (seconds + 30) / 60;
  std::snprintf(out, 16, "%uh%02u", minutes / 60 % 100000, minutes % 60);
}

void WriteProbeText(std::FILE* out, const ProbeRecord& record) {
  const ProbeSummary& s = record.summary;
  std::fprintf(out, "%u  %s\n", record.index, record.decoded);
  if (!s.transportStream) {
    std::fprintf(out, "  not a transport stream (%s); %" PRIu64 " bytes read\n", s.reason,
                 record.probedBytes);
    return;
  }
  if (s.reason) std::fprintf(out, "  %-10s %s\n", "note", s.reason);
  if (s.splice)
    std::fprintf(out, "  %-10s spliced: %s%s\n", "note", s.splice,
                 record.middleUnread ? "; the rest cannot be read, so the duration is not known" : "");
  if (s.serviceKnown) {
    char name[kBroadcastStringSize], provider[kBroadcastStringSize];
    DecodeStreamString(s.service.name, false, name, sizeof name);
    DecodeStreamString(s.service.provider, false, provider, sizeof provider);
    std::fprintf(out, "  %-10s %s (%s), service %u, type %u\n", "service", name, provider,
                 s.service.serviceId, s.service.type);
  }
  Event(out, "event", s.event);
  Event(out, "following", s.following);
  Chapters(out, s.chapters);
  if (s.timeKnown) {
    char first[21], last[21];
    FormatIsoUtc(s.firstTime, first);
    FormatIsoUtc(s.lastTime, last);
    // Spliced from an earlier broadcast, the time is no range.
    if (s.lastTime < s.firstTime) std::fprintf(out, "  %-10s %s at the start, %s at the end", "time", first, last);
    else std::fprintf(out, "  %-10s %s to %s", "time", first, last);
    if (s.offsetKnown) std::fprintf(out, ", local offset %+d min", s.localOffsetMinutes);
    std::fputc('\n', out);
  }
  if (s.durationSource != kDurationNone) {
    char length[16];
    FormatHoursMinutes(u32(s.durationSeconds), length);
    std::fprintf(out, "  %-10s %.3f s (%s), from %s%s\n", "duration", s.durationSeconds, length,
                 s.durationSource == kDurationPcr ? "PCR" : "PTS",
                 record.full ? "" : ", head and tail");
  }
  bool several = !s.others.empty();
  if (s.programKnown) Program(out, several, s.program, s.serviceKnown, s.service, s.streams);
  Subtitles(out, s.streams);
  for (const ProgramSummary& p : s.others) Program(out, several, p.program, p.serviceKnown, p.service, p.streams);
  std::fprintf(out, "  %-10s %" PRIu64 " packets", "packets", s.packets);
  if (s.bitrate) std::fprintf(out, ", %" PRIu64 " bit/s", s.bitrate);
  std::fprintf(out, ", %" PRIu64 " bytes read%s\n", record.probedBytes, record.full ? " (all)" : "");
  std::fprintf(out,
               "  %-10s %" PRIu64 " sync losses, %" PRIu64 " continuity errors, %" PRIu64
               " transport errors, %" PRIu64 " unreadable packets\n",
               "health", s.syncLosses, s.continuityErrors, s.transportErrors, s.unreadablePackets);
}

i64 LocalFirstTime(const ProbeSummary& s) {
  return s.firstTime + (s.offsetKnown ? i64(s.localOffsetMinutes) * 60 : 0);
}

void DecodeStreamString(const std::string& raw, bool text, char* out, u32 size) {
  DecodeBroadcastString(reinterpret_cast<const u8*>(raw.data()), u32(raw.size()), text, out, size);
}

std::string DecodedStreamString(const std::string& raw) {
  char text[kBroadcastStringSize];
  DecodeStreamString(raw, false, text, sizeof text);
  return text;
}
