// The descriptors the probe reads, decoded.
#include "stream/descriptors.h"

#include <cstring>

extern "C" {
#include <dvbpsi/dvbpsi.h>
#include <dvbpsi/descriptor.h>
#include <dvbpsi/dr_0a.h>
#include <dvbpsi/dr_48.h>
#include <dvbpsi/dr_4d.h>
#include <dvbpsi/dr_56.h>
#include <dvbpsi/dr_58.h>
#include <dvbpsi/dr_59.h>
}

namespace {

// Entries of one descriptor: its 255 bytes hold 51 teletext entries, 31
// subtitling entries.
const u32 kMaxDescriptorEntries = 51;

// A language code of three letters, or none.
void SetLanguage(const u8* code, char language[4]) {
  if (language[0]) return;  // the first descriptor that names one
  for (int i = 0; i < 3; ++i)
    if (code[i] < 0x20 || code[i] > 0x7E) return;
  std::memcpy(language, code, 3);
  language[3] = 0;
}

// An extended event descriptor's text, read here rather than through
// libdvbpsi, whose decoder trusts length_of_items: descriptor and last
// numbers, language, items (skipped), text. Only those of the first
// language seen are kept, in the order they come (their numbers' order).
const u32 kMaxExtendedPieces = 16;  // descriptor_number has four bits

void ReadExtendedText(const u8* p, u32 length, u8 language[3], EventEntry* e, u32* budget) {
  if (length < 5) return;
  if (language[0] == 0) std::memcpy(language, p + 1, 3);
  else if (std::memcmp(language, p + 1, 3) != 0) return;
  u32 at = 5 + u32(p[4]);  // past the items
  if (at >= length) return;
  u32 textLength = p[at];
  if (at + 1 + textLength > length || textLength == 0) return;
  if (e->extended.size() >= kMaxExtendedPieces || *budget + textLength > kMaxExtendedBytes) return;
  *budget += textLength;
  e->extended.emplace_back(reinterpret_cast<const char*>(p + at + 1), textLength);
}

}  // namespace

void DescribeStream(dvbpsi_descriptor_t* d, ElementaryStream* s) {
  for (; d; d = d->p_next) {
    switch (d->i_tag) {
      case 0x0A:
        if (dvbpsi_iso639_dr_t* l = dvbpsi_DecodeISO639Dr(d))
          if (l->i_code_count) SetLanguage(l->code[0].iso_639_code, s->language);
        break;
      case 0x56: {
        s->teletext = true;
        if (dvbpsi_teletext_dr_t* t = dvbpsi_DecodeTeletextDr(d))
          if (t->i_pages_number) SetLanguage(t->p_pages[0].i_iso6392_language_code, s->language);
        TeletextEntry entries[kMaxDescriptorEntries];
        u32 count = DecodeTeletextEntries(d, entries, kMaxDescriptorEntries);
        s->pages.insert(s->pages.end(), entries, entries + count);
        break;
      }
      case 0x59:
        s->subtitles = true;
        if (dvbpsi_subtitling_dr_t* t = dvbpsi_DecodeSubtitlingDr(d)) {
          if (t->i_subtitles_number) SetLanguage(t->p_subtitle[0].i_iso6392_language_code, s->language);
          for (int i = 0; i < t->i_subtitles_number && s->subtitling.size() < kMaxDescriptorEntries; ++i) {
            SubtitlingEntry e = {};
            SetLanguage(t->p_subtitle[i].i_iso6392_language_code, e.language);
            e.type = t->p_subtitle[i].i_subtitling_type;
            s->subtitling.push_back(e);
          }
        }
        break;
      case 0x6A: s->ac3 = true; break;
      case 0x7A: s->eac3 = true; break;
      default: break;
    }
  }
}

void DescribeService(dvbpsi_descriptor_t* d, ServiceEntry* s) {
  for (; d; d = d->p_next) {
    if (d->i_tag != 0x48) continue;
    dvbpsi_service_dr_t* sd = dvbpsi_DecodeServiceDr(d);
    if (!sd) continue;
    s->type = sd->i_service_type;
    s->name.assign(reinterpret_cast<const char*>(sd->i_service_name), sd->i_service_name_length);
    s->provider.assign(reinterpret_cast<const char*>(sd->i_service_provider_name),
                       sd->i_service_provider_name_length);
    return;
  }
}

void DescribeEvent(dvbpsi_descriptor_t* first, EventEntry* e, u32* budget) {
  bool shortSeen = false;
  u8 language[3] = {};
  for (dvbpsi_descriptor_t* d = first; d; d = d->p_next) {
    if (d->i_tag == 0x4D && !shortSeen) {
      dvbpsi_short_event_dr_t* se = dvbpsi_DecodeShortEventDr(d);
      if (!se) continue;
      shortSeen = true;
      e->title.assign(reinterpret_cast<const char*>(se->i_event_name), size_t(se->i_event_name_length));
      e->text.assign(reinterpret_cast<const char*>(se->i_text), size_t(se->i_text_length));
      SetLanguage(se->i_iso_639_code, e->language);
    } else if (d->i_tag == 0x4E) {
      ReadExtendedText(d->p_data, d->i_length, language, e, budget);
    } else if (d->i_tag == 0x54 && !e->contentKnown && d->i_length >= 2) {
      e->contentKnown = true;
      e->content = d->p_data[0] >> 4;
    }
  }
}

void ReadLocalOffset(dvbpsi_descriptor_t* d, LocalOffset* o) {
  for (; d; d = d->p_next) {
    if (d->i_tag != 0x58) continue;
    dvbpsi_local_time_offset_dr_t* lto = dvbpsi_DecodeLocalTimeOffsetDr(d);
    if (!lto || lto->i_local_time_offsets_number == 0) continue;
    const dvbpsi_local_time_offset_t& first = lto->p_local_time_offset[0];
    u32 now, next;
    if (!DecodeBcdOffset(first.i_local_time_offset, &now)) continue;
    int sign = first.i_local_time_offset_polarity ? -1 : 1;
    o->known = true;
    o->minutes = sign * int(now);
    o->changes = DecodeMjdTime(first.i_time_of_change, &o->timeOfChange) &&
                 DecodeBcdOffset(first.i_next_time_offset, &next);
    o->nextMinutes = o->changes ? sign * int(next) : o->minutes;
    return;
  }
}
