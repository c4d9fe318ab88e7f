// probe --json: one object per recording; absent values are null.
#include <cinttypes>

#include "text/charset.h"
#include "report/json.h"
#include "report/probe_report.h"

namespace {

const char* const kKinds[] = {"video", "audio", "subtitles", "teletext", "data"};

void String(std::FILE* out, const char* key, const std::string& raw, bool text) {
  char decoded[kBroadcastStringSize];
  DecodeStreamString(raw, text, decoded, sizeof decoded);
  std::fprintf(out, "\"%s\": ", key);
  WriteJsonUtf8(out, decoded);
}

void Language(std::FILE* out, const char* language) {
  std::fputs("\"language\": ", out);
  if (language[0]) WriteJsonUtf8(out, language);
  else std::fputs("null", out);
}

void Time(std::FILE* out, const char* key, bool known, i64 seconds) {
  char text[21];
  FormatIsoUtc(seconds, text);
  if (known) std::fprintf(out, "\"%s\": \"%s\"", key, text);
  else std::fprintf(out, "\"%s\": null", key);
}

void Event(std::FILE* out, const char* key, const EventSummary& e) {
  std::fprintf(out, ", \"%s\": ", key);
  if (!e.known) {
    std::fputs("null", out);
    return;
  }
  std::fputc('{', out);
  String(out, "title", e.title, false);
  std::fputs(", ", out);
  String(out, "text", e.text, true);
  std::fputs(", ", out);
  Language(out, e.language);
  std::fputs(", ", out);
  Time(out, "start", e.startKnown, e.start);
  if (e.durationKnown) std::fprintf(out, ", \"duration_s\": %u}", e.duration);
  else std::fputs(", \"duration_s\": null}", out);
}

void Service(std::FILE* out, bool known, const ServiceEntry& service) {
  std::fputs("\"service\": ", out);
  if (!known) {
    std::fputs("null", out);
    return;
  }
  std::fputc('{', out);
  String(out, "name", service.name, false);
  std::fputs(", ", out);
  String(out, "provider", service.provider, false);
  std::fprintf(out, ", \"service_id\": %u, \"type\": %u}", service.serviceId, service.type);
}

// A video stream's format from its own headers; null what is not known.
void Video(std::FILE* out, const VideoFormat& f) {
  if (f.known) std::fprintf(out, ", \"width\": %u, \"height\": %u", f.width, f.height);
  else std::fputs(", \"width\": null, \"height\": null", out);
  if (f.rateDen) std::fprintf(out, ", \"frame_rate\": %.3f", double(f.rateNum) / f.rateDen);
  else std::fputs(", \"frame_rate\": null", out);
  char aspect[24];
  FormatAspect(f, aspect);
  std::fputs(", \"aspect_ratio\": ", out);
  if (aspect[0]) WriteJsonUtf8(out, aspect);
  else std::fputs("null", out);
}

void Streams(std::FILE* out, const std::vector<StreamSummary>& streams) {
  std::fputs("\"streams\": [", out);
  for (size_t i = 0; i < streams.size(); ++i) {
    const StreamSummary& st = streams[i];
    std::fprintf(out, "%s{\"pid\": %u, \"stream_type\": %u, \"kind\": \"%s\", \"codec\": ", i ? ", " : "",
                 st.pid, st.streamType, kKinds[st.kind]);
    if (st.codec) WriteJsonUtf8(out, st.codec);
    else std::fputs("null", out);
    std::fputs(", ", out);
    Language(out, st.language);
    if (st.kind == kKindVideo) Video(out, st.video);
    std::fprintf(out, ", \"continuity_errors\": %u}", st.continuityErrors);
  }
  std::fputc(']', out);
}

// The programme's subtitles: the subtitle pages its teletext descriptors
// name (types 2 and 5), and its DVB subtitle services.
void Subtitles(std::FILE* out, const std::vector<StreamSummary>& streams) {
  std::fputs(", \"teletext_pages\": [", out);
  bool first = true;
  for (const StreamSummary& st : streams) {
    for (const TeletextEntry& e : st.pages) {
      if (!IsSubtitleEntry(e)) continue;
      std::fprintf(out, "%s{\"pid\": %u, \"page\": \"%03X\", ", first ? "" : ", ", st.pid, e.page);
      Language(out, e.language);
      std::fprintf(out, ", \"type\": %u, \"hearing_impaired\": %s}", e.type, e.type == 5 ? "true" : "false");
      first = false;
    }
  }
  std::fputs("], \"dvb_subtitles\": [", out);
  first = true;
  for (const StreamSummary& st : streams) {
    for (const SubtitlingEntry& e : st.subtitling) {
      std::fprintf(out, "%s{\"pid\": %u, ", first ? "" : ", ", st.pid);
      Language(out, e.language);
      std::fprintf(out, ", \"type\": %u, \"hearing_impaired\": %s}", e.type,
                   IsHearingImpairedSubtitling(e) ? "true" : "false");
      first = false;
    }
  }
  std::fputc(']', out);
}

void Program(std::FILE* out, bool first, u16 number, bool known, const ServiceEntry& service,
             const std::vector<StreamSummary>& streams) {
  std::fprintf(out, "%s{\"program\": %u, ", first ? "" : ", ", number);
  Service(out, known, service);
  std::fputs(", ", out);
  Streams(out, streams);
  std::fputc('}', out);
}

// Every programme whose PMT was seen, the one described first.
void Programs(std::FILE* out, const ProbeSummary& s) {
  std::fputs(", \"programs\": [", out);
  if (s.programKnown) Program(out, true, s.program, s.serviceKnown, s.service, s.streams);
  for (size_t i = 0; i < s.others.size(); ++i) {
    const ProgramSummary& p = s.others[i];
    Program(out, !s.programKnown && i == 0, p.program, p.serviceKnown, p.service, p.streams);
  }
  std::fputc(']', out);
}

void Chapters(std::FILE* out, const std::vector<ChapterSummary>& chapters) {
  std::fputs(", \"chapters\": [", out);
  for (size_t i = 0; i < chapters.size(); ++i) {
    std::fputs(i ? ", {" : "{", out);
    String(out, "title", chapters[i].title, false);
    static const char* const kFrom[] = {"switch", "recording_start", "start_time"};
    std::fprintf(out, ", \"start_s\": %.3f, \"from\": \"%s\"}", chapters[i].startSeconds,
                 kFrom[chapters[i].from]);
  }
  std::fputc(']', out);
}

}  // namespace

void WriteProbeJsonMembers(std::FILE* out, const ProbeRecord& record) {
  const ProbeSummary& s = record.summary;
  std::fprintf(out, "\"index\": %u, \"name\": ", record.index);
  WriteJsonString(out, record.name);
  std::fputs(", \"decoded_name\": ", out);
  WriteJsonUtf8(out, record.decoded);
  std::fprintf(out, ", \"transport_stream\": %s, \"full\": %s, \"probed_bytes\": %" PRIu64 ", \"reason\": ",
               s.transportStream ? "true" : "false", record.full ? "true" : "false", record.probedBytes);
  if (s.reason) WriteJsonUtf8(out, s.reason);
  else std::fputs("null", out);
  if (!s.transportStream) return;
  if (s.programKnown) std::fprintf(out, ", \"program\": %u", s.program);
  else std::fputs(", \"program\": null", out);
  static const char* const kSources[] = {"null", "\"pcr\"", "\"pts\""};
  const char* source = s.durationSource == kDurationPcr && record.full ? "\"pcr_full\"" : kSources[s.durationSource];
  if (s.durationSource == kDurationNone) std::fputs(", \"duration_s\": null", out);
  else std::fprintf(out, ", \"duration_s\": %.3f", s.durationSeconds);
  std::fprintf(out, ", \"duration_source\": %s, \"splice\": ", source);
  if (s.splice) WriteJsonUtf8(out, s.splice);
  else std::fputs("null", out);
  std::fputs(", ", out);
  Service(out, s.serviceKnown, s.service);
  Event(out, "event", s.event);
  Event(out, "following", s.following);
  Chapters(out, s.chapters);
  std::fputs(", ", out);
  Time(out, "first_time", s.timeKnown, s.firstTime);
  std::fputs(", ", out);
  Time(out, "last_time", s.timeKnown, s.lastTime);
  if (s.offsetKnown) std::fprintf(out, ", \"local_offset_min\": %d", s.localOffsetMinutes);
  else std::fputs(", \"local_offset_min\": null", out);
  std::fputs(", ", out);
  Streams(out, s.streams);
  Subtitles(out, s.streams);
  Programs(out, s);
  std::fprintf(out, ", \"packets\": %" PRIu64 ", \"bitrate_bps\": ", s.packets);
  if (s.bitrate) std::fprintf(out, "%" PRIu64, s.bitrate);
  else std::fputs("null", out);
  std::fprintf(out,
               ", \"health\": {\"sync_losses\": %" PRIu64 ", \"continuity_errors\": %" PRIu64
               ", \"transport_errors\": %" PRIu64 ", \"unreadable_packets\": %" PRIu64 "}",
               s.syncLosses, s.continuityErrors, s.transportErrors, s.unreadablePackets);
}

void WriteProbeJsonThumbnail(std::FILE* out, const char* path) {
  std::fputs(", \"thumbnail\": ", out);
  if (path) WriteJsonUtf8(out, path);
  else std::fputs("null", out);
}
