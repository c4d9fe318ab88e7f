// Picture formats read from MPEG-1/2 sequence headers and H.264 SPS.
#include "stream/video.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>

namespace {

// An MSB-first bit reader that never reads past size; overrun says it tried.
struct Bits {
  const u8* data;
  u32 size;
  u64 at;  // in bits
  bool overrun;
};

u32 Read(Bits* b, u32 n) {
  u32 value = 0;
  for (u32 i = 0; i < n; ++i, ++b->at) {
    if (b->at >= u64(b->size) * 8) {
      b->overrun = true;
      return 0;
    }
    value = value << 1 | (b->data[b->at / 8] >> (7 - b->at % 8) & 1);
  }
  return value;
}

// Exp-Golomb, unsigned; a code longer than 32 bits is an overrun.
u32 ReadUe(Bits* b) {
  u32 zeros = 0;
  while (!b->overrun && Read(b, 1) == 0)
    if (++zeros > 31) b->overrun = true;
  if (b->overrun) return 0;
  return u32((u64(1) << zeros) - 1 + Read(b, zeros));
}

std::int64_t ReadSe(Bits* b) {
  u32 k = ReadUe(b);
  return k & 1 ? std::int64_t(k / 2) + 1 : -std::int64_t(k / 2);
}

u64 Gcd(u64 a, u64 b) {
  while (b) {
    u64 r = a % b;
    a = b;
    b = r;
  }
  return a;
}

// num:den reduced, when both are then below 2^32.
bool SetRatio(u64 num, u64 den, u32* outNum, u32* outDen) {
  if (!num || !den) return false;
  u64 g = Gcd(num, den);
  num /= g;
  den /= g;
  if (num >> 32 || den >> 32) return false;
  *outNum = u32(num);
  *outDen = u32(den);
  return true;
}

void SetAspect(VideoFormat* f, u32 num, u32 den) {
  f->aspectNum = num;
  f->aspectDen = den;
}

const u32 kMaxSide = 16384;

// MPEG frame_rate_code 1 to 8.
const u32 kMpegRates[9][2] = {{0, 0},  {24000, 1001}, {24, 1}, {25, 1},   {30000, 1001},
                              {30, 1}, {50, 1},       {60000, 1001}, {60, 1}};

// The next start code at or after byte from: the offset of its 00 00 01.
bool NextStartCode(const u8* b, u32 size, u32 from, u32* at) {
  for (u32 i = from; i + 3 < size; ++i)
    if (b[i] == 0 && b[i + 1] == 0 && b[i + 2] == 1) {
      *at = i;
      return true;
    }
  return false;
}

// H.264 sample aspect ratios of aspect_ratio_idc 1 to 16.
const u32 kSampleAspects[17][2] = {{0, 0},   {1, 1},   {12, 11}, {10, 11},  {16, 11}, {40, 33},
                                   {24, 11}, {20, 11}, {32, 11}, {80, 33},  {18, 11}, {15, 11},
                                   {64, 33}, {160, 99}, {4, 3},  {3, 2},    {2, 1}};

void SkipScalingList(Bits* b, u32 size) {
  std::int64_t last = 8, next = 8;
  for (u32 j = 0; j < size && !b->overrun; ++j) {
    if (next != 0) next = ((last + ReadSe(b)) % 256 + 256) % 256;
    last = next == 0 ? last : next;
  }
}

bool HighProfile(u32 profile) {
  for (u32 p : {100u, 110u, 122u, 244u, 44u, 83u, 86u, 118u, 128u, 138u, 139u, 134u, 135u})
    if (profile == p) return true;
  return false;
}

// The VUI's sample aspect ratio and frame rate.
void ReadVui(Bits* b, u32 width, u32 height, VideoFormat* f) {
  if (Read(b, 1)) {  // aspect_ratio_info_present_flag
    u32 idc = Read(b, 8), sarNum = 0, sarDen = 0;
    if (idc == 255) {
      sarNum = Read(b, 16);
      sarDen = Read(b, 16);
    } else if (idc <= 16) {
      sarNum = kSampleAspects[idc][0];
      sarDen = kSampleAspects[idc][1];
    }
    if (!b->overrun && sarNum && sarDen) DisplayAspect(width, height, sarNum, sarDen, f);
  }
  if (Read(b, 1)) Read(b, 1);  // overscan
  if (Read(b, 1)) {            // video signal type
    Read(b, 4);
    if (Read(b, 1)) Read(b, 24);  // colour description
  }
  if (Read(b, 1)) {  // chroma location
    ReadUe(b);
    ReadUe(b);
  }
  if (Read(b, 1)) {  // timing info
    u32 units = Read(b, 32), scale = Read(b, 32);
    if (!b->overrun && !SetRatio(scale, 2 * u64(units), &f->rateNum, &f->rateDen)) f->rateNum = f->rateDen = 0;
  }
}

}  // namespace

VideoCoding VideoCodingOf(u8 type) {
  switch (type) {
    case 0x01: case 0x02: return kVideoMpeg12;
    case 0x1B: return kVideoH264;
    case 0x24: return kVideoHevc;
    default: return kVideoOther;
  }
}

void DisplayAspect(u32 width, u32 height, u32 sarNum, u32 sarDen, VideoFormat* f) {
  u64 num = u64(width) * sarNum, den = u64(height) * sarDen;
  if (!num || !den) return;
  double ratio = double(num) / double(den);
  const u32 kCommon[][2] = {{4, 3}, {16, 9}, {221, 100}};
  for (const auto& c : kCommon) {
    double off = ratio / (double(c[0]) / double(c[1])) - 1;
    if (off < 0.03 && off > -0.03) {
      SetAspect(f, c[0], c[1]);
      return;
    }
  }
  SetRatio(num, den, &f->aspectNum, &f->aspectDen);
}

bool ReadMpegSequence(const u8* bytes, u32 size, VideoFormat* out) {
  Bits b = {bytes, size, 32, false};
  VideoFormat f = {};
  f.width = Read(&b, 12);
  f.height = Read(&b, 12);
  u32 aspect = Read(&b, 4), rate = Read(&b, 4);
  Read(&b, 18 + 1 + 10 + 1);  // bit rate, marker, VBV buffer, constrained
  if (Read(&b, 1)) Read(&b, 64 * 8);  // intra quantiser matrix
  if (Read(&b, 1)) Read(&b, 64 * 8);  // non-intra
  u32 next;
  if (b.overrun || !NextStartCode(bytes, size, u32((b.at + 7) / 8), &next)) return false;
  bool mpeg2 = bytes[next + 3] == 0xB5;
  if (mpeg2) {
    Bits x = {bytes, size, u64(next + 4) * 8, false};
    u32 id = Read(&x, 4);
    if (x.overrun) return false;
    if (id != 1) {
      mpeg2 = false;  // another extension first: taken as it stands
    } else {
      Read(&x, 8 + 1 + 2);  // profile and level, progressive, chroma format
      f.width |= Read(&x, 2) << 12;
      f.height |= Read(&x, 2) << 12;
      Read(&x, 12 + 1 + 8 + 1);  // bit rate, marker, VBV buffer, low delay
      u32 n = Read(&x, 2) + 1, d = Read(&x, 5) + 1;
      if (x.overrun) return false;
      if (rate >= 1 && rate <= 8) SetRatio(u64(kMpegRates[rate][0]) * n, u64(kMpegRates[rate][1]) * d, &f.rateNum, &f.rateDen);
    }
  }
  if (!f.width || !f.height || f.width > kMaxSide || f.height > kMaxSide) return false;
  if (!mpeg2 && rate >= 1 && rate <= 8) SetRatio(kMpegRates[rate][0], kMpegRates[rate][1], &f.rateNum, &f.rateDen);
  if (aspect == 1) DisplayAspect(f.width, f.height, 1, 1, &f);
  // MPEG-2 codes the display aspect ratio; MPEG-1 the pixel's, whose codes
  // for the 625- and 525-line pictures come to the same two.
  else if (mpeg2 && aspect == 2) SetAspect(&f, 4, 3);
  else if (mpeg2 && aspect == 3) SetAspect(&f, 16, 9);
  else if (mpeg2 && aspect == 4) SetAspect(&f, 221, 100);
  else if (!mpeg2 && (aspect == 8 || aspect == 12)) SetAspect(&f, 4, 3);
  else if (!mpeg2 && (aspect == 3 || aspect == 6)) SetAspect(&f, 16, 9);
  f.known = true;
  *out = f;
  return true;
}

bool ReadH264Sps(const u8* bytes, u32 size, VideoFormat* out) {
  // The RBSP: emulation prevention bytes dropped, up to the next start code.
  u8 rbsp[kVideoHeaderBytes];
  u32 n = 0;
  bool whole = size >= kVideoHeaderBytes;  // no more bytes will come
  for (u32 i = 4, zeros = 0; i < size && n < sizeof rbsp; ++i) {
    if (zeros >= 2 && bytes[i] <= 2) {  // 00 00 00, 00 00 01, 00 00 02 end the NAL
      whole = true;
      n -= zeros;  // the zeros belong to the start code
      break;
    }
    if (zeros >= 2 && bytes[i] == 3) {
      zeros = 0;
      continue;
    }
    zeros = bytes[i] == 0 ? zeros + 1 : 0;
    rbsp[n++] = bytes[i];
  }
  Bits b = {rbsp, n, 0, false};
  u32 profile = Read(&b, 8);
  Read(&b, 16);  // constraints, level
  if (ReadUe(&b) > 31) return false;
  u32 chroma = 1;
  bool separatePlanes = false;
  if (HighProfile(profile)) {
    chroma = ReadUe(&b);
    if (chroma > 3) return false;
    if (chroma == 3) separatePlanes = Read(&b, 1) != 0;
    ReadUe(&b);
    ReadUe(&b);  // bit depths
    Read(&b, 1);
    if (Read(&b, 1))  // scaling matrices
      for (u32 i = 0; i < (chroma != 3 ? 8u : 12u) && !b.overrun; ++i)
        if (Read(&b, 1)) SkipScalingList(&b, i < 6 ? 16 : 64);
  }
  ReadUe(&b);  // log2_max_frame_num_minus4
  u32 pocType = ReadUe(&b);
  if (pocType == 0) {
    ReadUe(&b);
  } else if (pocType == 1) {
    Read(&b, 1);
    ReadSe(&b);
    ReadSe(&b);
    u32 cycle = ReadUe(&b);
    if (cycle > 255) return false;
    for (u32 i = 0; i < cycle && !b.overrun; ++i) ReadSe(&b);
  } else if (pocType != 2) {
    return false;
  }
  ReadUe(&b);  // max_num_ref_frames
  Read(&b, 1);
  u64 widthMbs = u64(ReadUe(&b)) + 1, heightUnits = u64(ReadUe(&b)) + 1;
  bool frames = Read(&b, 1) != 0;
  if (!frames) Read(&b, 1);
  Read(&b, 1);  // direct_8x8_inference_flag
  u64 crop[4] = {0, 0, 0, 0};
  if (Read(&b, 1))
    for (u64& c : crop) c = ReadUe(&b);
  bool vui = Read(&b, 1) != 0;
  if (b.overrun) return false;
  bool noChroma = chroma == 0 || separatePlanes;
  u64 unitX = noChroma || chroma == 3 ? 1 : 2, unitY = (noChroma || chroma != 1 ? 1 : 2) * (frames ? 1 : 2);
  u64 width = widthMbs * 16, height = heightUnits * 16 * (frames ? 1 : 2);
  u64 cropX = unitX * (crop[0] + crop[1]), cropY = unitY * (crop[2] + crop[3]);
  if (width > kMaxSide || height > kMaxSide || cropX >= width || cropY >= height) return false;
  VideoFormat f = {};
  f.width = u32(width - cropX);
  f.height = u32(height - cropY);
  if (vui) {
    VideoFormat timed = f;
    ReadVui(&b, f.width, f.height, &timed);
    if (b.overrun && !whole) return false;  // the rest is to come
    if (!b.overrun) f = timed;              // else a VUI cut short tells nothing
  }
  f.known = true;
  *out = f;
  return true;
}

void SeeVideoPacket(VideoProbe* v, const u8* p) {
  u32 start = PayloadStart(p);
  if (v->format.known || start >= kPacketSize) return;
  const u8* payload = p + start;
  u32 size = kPacketSize - start;
  if (v->held) {
    u32 n = size < kVideoHeaderBytes - v->held ? size : kVideoHeaderBytes - v->held;
    std::memcpy(v->bytes + v->held, payload, n);
    v->held += n;
  } else {
    // The payload after the last bytes of the one before, searched for the
    // header's start code.
    u8 joined[3 + kPacketSize];
    std::memcpy(joined, v->tail, v->tailHeld);
    std::memcpy(joined + v->tailHeld, payload, size);
    u32 length = v->tailHeld + size;
    for (u32 i = 0; i + 3 < length; ++i) {
      if (joined[i] != 0 || joined[i + 1] != 0 || joined[i + 2] != 1) continue;
      u8 code = joined[i + 3];
      bool header = v->coding == kVideoMpeg12 ? code == 0xB3 : (code & 0x9F) == 0x07;
      if (!header) continue;
      v->held = length - i;
      std::memcpy(v->bytes, joined + i, v->held);
      break;
    }
    v->tailHeld = length < 3 ? length : 3;
    std::memcpy(v->tail, joined + length - v->tailHeld, v->tailHeld);
  }
  if (!v->held) return;
  bool read = v->coding == kVideoMpeg12 ? ReadMpegSequence(v->bytes, v->held, &v->format)
                                        : ReadH264Sps(v->bytes, v->held, &v->format);
  // A header that does not read even whole is passed over: the next may.
  if (!read && v->held == kVideoHeaderBytes) v->held = v->tailHeld = 0;
}
