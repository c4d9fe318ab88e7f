// EN 300 472: teletext in PES packets of private stream 1, and the
// teletext descriptor of the PMT that names its pages.
#include "stream/teletext.h"

#include <sys/types.h>

#include <cstdint>
#include <cstring>

extern "C" {
#include <dvbpsi/dvbpsi.h>
#include <dvbpsi/descriptor.h>
#include <dvbpsi/dr_56.h>
}

#include "stream/pes.h"
#include "stream/teletext_coding.h"
#include "stream/teletext_page.h"

namespace {

const u8 kFramingCode = 0xE4;
const u8 kUnitLength = 0x2C;  // field/line byte, framing code, 42 bytes
const u32 kTeletextPacket = 42;

// The 33-bit pts as the nearest count to the latest, up to 2^32 either way
// (none below 0).
u64 Unwrap(const TeletextDecoder& d, u64 pts) {
  if (!d.ptsKnown) return pts;
  u64 ahead = (pts - d.pts) & (kPtsWrap - 1);
  if (ahead < kPtsWrap / 2) return d.pts + ahead;
  u64 back = kPtsWrap - ahead;
  return d.pts > back ? d.pts - back : 0;
}

}  // namespace

// data_identifier 0x10-0x1F (EBU data), then data units: id, length and
// its bytes. Units 0x02 (teletext) and 0x03 (teletext subtitles) of the
// teletext length and framing code carry one packet each; other units
// (stuffing 0xFF, VPS, WSS...) are stepped over by their length.
void FeedTeletextData(TeletextDecoder* d, const u8* data, size_t length, u64 pts) {
  AdvanceTeletext(d, pts);
  if (length < 1 || data[0] < 0x10 || data[0] > 0x1F) return;
  u8 packet[kTeletextPacket];
  for (size_t at = 1; at + 2 <= length;) {
    u8 id = data[at], unitLength = data[at + 1];
    at += 2;
    if (unitLength > length - at) return;
    const u8* unit = data + at;
    at += unitLength;
    if ((id != 0x02 && id != 0x03) || unitLength != kUnitLength || unit[1] != kFramingCode) continue;
    for (u32 i = 0; i < kTeletextPacket; ++i) packet[i] = ReverseBits(unit[2 + i]);
    TeletextPacket(d, packet, pts);
  }
}

bool TeletextPesData(const u8* pes, size_t length, size_t* data, size_t* dataLength, bool* hasPts, u64* pts) {
  if (length < 9 || pes[0] != 0 || pes[1] != 0 || pes[2] != 1 || pes[3] != 0xBD) return false;
  size_t declared = size_t(pes[4]) << 8 | pes[5];
  if (declared && declared + 6 < length) length = declared + 6;
  *data = 9 + size_t(pes[8]);
  if (*data > length) return false;
  *dataLength = length - *data;
  *hasPts = PesPts(pes, length, pts);
  return true;
}

bool FeedTeletextPes(TeletextDecoder* d, const u8* pes, size_t length) {
  size_t data, dataLength;
  bool hasPts;
  u64 pts;
  if (!TeletextPesData(pes, length, &data, &dataLength, &hasPts, &pts)) return false;
  if (hasPts) {
    d->pts = Unwrap(*d, pts);
    d->ptsKnown = true;
  }
  FeedTeletextData(d, pes + data, dataLength, d->pts);
  return true;
}

u32 DecodeTeletextEntries(dvbpsi_descriptor_t* descriptor, TeletextEntry* entries, u32 capacity) {
  dvbpsi_teletext_dr_t* t = descriptor->i_tag == 0x56 ? dvbpsi_DecodeTeletextDr(descriptor) : nullptr;
  u32 count = 0;
  for (u32 i = 0; t && i < t->i_pages_number && count < capacity; ++i) {
    const dvbpsi_teletextpage_t& p = t->p_pages[i];
    TeletextEntry* e = &entries[count++];
    std::memset(e->language, 0, sizeof e->language);
    bool printable = true;
    for (int c = 0; c < 3; ++c)
      printable = printable && p.i_iso6392_language_code[c] > 0x20 && p.i_iso6392_language_code[c] < 0x7F;
    if (printable) std::memcpy(e->language, p.i_iso6392_language_code, 3);
    e->type = p.i_teletext_type;
    int magazine = p.i_teletext_magazine_number & 7;
    e->page = u16((magazine ? magazine : 8) << 8 | p.i_teletext_page_number);
  }
  return count;
}

u32 ReadTeletextDescriptor(const u8* body, u8 length, TeletextEntry* entries, u32 capacity) {
  u8 copy[255];
  std::memcpy(copy, body, length);
  dvbpsi_descriptor_t* descriptor = dvbpsi_NewDescriptor(0x56, length, copy);
  if (!descriptor) return 0;
  u32 count = DecodeTeletextEntries(descriptor, entries, capacity);
  dvbpsi_DeleteDescriptors(descriptor);
  return count;
}

u32 ReadDemuxedTeletext(const char* languages, const u8* extradata, size_t size, TeletextEntry* entries,
                        u32 capacity) {
  u8 body[255];
  u32 length = 0;
  const char* language = languages ? languages : "";
  for (size_t at = 0; at + 2 <= size && length + 5 <= sizeof body; at += 2) {
    for (int c = 0; c < 3; ++c) body[length++] = u8(*language && *language != ',' ? *language++ : ' ');
    while (*language && *language++ != ',') {}  // past this code's comma
    body[length++] = extradata[at];
    body[length++] = extradata[at + 1];
  }
  return ReadTeletextDescriptor(body, u8(length), entries, capacity);
}
