// The charsets of recording names and broadcast strings, decoded to UTF-8.
#include "text/charset.h"

#include <cstring>

#include "text/charset_tables.h"
#include "text/utf8.h"

namespace {

struct Spelling {
  const char* name;  // lower case, without '-', '_' and blanks
  Charset charset;
};

const Spelling kSpellings[] = {
    {"iso88591", kLatin1}, {"latin1", kLatin1},      {"l1", kLatin1},
    {"iso885915", kLatin9}, {"latin9", kLatin9},     {"l9", kLatin9},
    {"cp1252", kCp1252},   {"windows1252", kCp1252}, {"utf8", kUtf8},
    {"dvb", kDvb},
};

// What the bytes of a name are read as.
enum Form { kTable, kIso6937, kUtf8Form, kUcs2Form, kUnknown };

// How the broadcast's control codes read: in a recording name, and in the
// strings of its tables (one line, or text whose line breaks stay).
enum Controls { kNoControls, kNameControls, kLineControls, kTextControls };

struct Decoding {
  Form form;
  const u16* high;    // kTable: code points of bytes 0x80-0xFF
  Controls controls;  // the broadcast text's control codes apply
};

struct Output {
  char* at;
  u32 left;  // bytes free before the terminating NUL
};

void Put(Output* o, u32 c) {
  char bytes[kMaxUtf8Length];
  u32 n = WriteUtf8(c, bytes);
  if (n > o->left) {
    o->left = 0;  // a name cut short ends at a whole character
    return;
  }
  std::memcpy(o->at, bytes, n);
  o->at += n;
  o->left -= n;
}

// The broadcast text's control codes: bytes 0x80-0x9F of its one-byte
// tables, and U+E080-U+E09F in its UTF-8 and UCS-2 (C1 code points are
// taken the same way). The line break (0x8A) reads as a blank on one line
// and stays a line break in text. In a name, emphasis on and off (0x86,
// 0x87) carry no text and go and the rest show as U+FFFD; in the tables'
// strings every other code goes. Returns false for a code point that is no
// such code.
bool BroadcastControl(u32 c, Controls controls, bool* dropped, u32* shown) {
  u32 code;
  if (c >= 0x80 && c <= 0x9F) code = c;
  else if (c >= 0xE080 && c <= 0xE09F) code = c - 0xE000;
  else return false;
  bool lineBreak = code == 0x8A;
  *dropped = controls == kNameControls ? code == 0x86 || code == 0x87 : !lineBreak;
  *shown = lineBreak ? (controls == kTextControls ? '\n' : ' ') : kReplacement;
  return true;
}

void Emit(Output* o, u32 c, Controls controls) {
  bool dropped = false;
  bool control = controls != kNoControls && BroadcastControl(c, controls, &dropped, &c);
  if (dropped) return;
  if (control && c == '\n') return Put(o, c);
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) c = kReplacement;  // never a control code in a name
  Put(o, c);
}

u32 Iso6937Pair(u8 mark, u8 letter) {
  u16 key = u16(mark << 8 | letter);
  u32 low = 0, high = kIso6937PairCount;
  while (low < high) {
    u32 mid = (low + high) / 2;
    if (kIso6937Pairs[mid].bytes < key) low = mid + 1;
    else high = mid;
  }
  return low < kIso6937PairCount && kIso6937Pairs[low].bytes == key ? kIso6937Pairs[low].codePoint
                                                                      : kUndefined;
}

// The code point at p and the bytes it takes.
u32 Next(const Decoding& d, const u8* p, u32 length, u32* c) {
  u8 b = p[0];
  *c = kUndefined;
  switch (d.form) {
    case kUtf8Form:
      return ReadUtf8(p, length, c);
    case kUcs2Form:
      // Big-endian 16-bit units of the Basic Multilingual Plane: a lone
      // byte or a surrogate is no character.
      *c = length < 2 ? kUndefined : u32(p[0]) << 8 | p[1];
      if (*c >= 0xD800 && *c <= 0xDFFF) *c = kUndefined;
      if (*c == kUndefined) *c = kReplacement;
      return length < 2 ? 1 : 2;
    case kIso6937:
      if (b >= 0xC1 && b <= 0xCF && length > 1) {
        *c = Iso6937Pair(b, p[1]);
        if (*c != kUndefined) return 2;
      }
      // A mark with no letter it goes with is undefined on its own.
      *c = b < 0x80 ? b : kIso6937High[b - 0x80];
      break;
    case kTable:
      *c = b < 0x80 ? b : d.high[b - 0x80];
      break;
    case kUnknown:
      *c = kUndefined;
      break;
  }
  if (*c == kUndefined) *c = kReplacement;
  return 1;
}

// The broadcast coding: a first byte below 0x20 selects the table and is no
// part of the text. Sets *skip to the bytes the selector takes.
Decoding BroadcastDecoding(const u8* raw, u32 length, Controls controls, u32* skip) {
  Decoding d = {kUnknown, nullptr, controls};
  *skip = 0;
  if (length == 0 || raw[0] >= 0x20) {
    d.form = kIso6937;
    return d;
  }
  u32 part = 0;
  *skip = 1;
  if (raw[0] >= 0x01 && raw[0] <= 0x0B) {
    part = raw[0] + 4u;  // 0x01 is ISO 8859-5 ... 0x0B is ISO 8859-15
  } else if (raw[0] == 0x10) {
    *skip = length < 3 ? length : 3;
    if (length >= 3 && raw[1] == 0x00) part = raw[2];
  } else if (raw[0] == 0x11) {
    d.form = kUcs2Form;
  } else if (raw[0] == 0x15) {
    d.form = kUtf8Form;
  }
  // 0x12-0x14 (the Korean, simplified Chinese and Big5 two-byte tables),
  // the reserved values and ISO 8859-12, which does not exist, are not
  // decoded: every byte of the text is U+FFFD.
  if (part < 16 && kIso8859Present[part]) {
    d.form = kTable;
    d.high = kIso8859High[part];
  }
  return d;
}

void Decode(const Decoding& d, const u8* raw, u32 start, u32 length, char* out, u32 size) {
  Output o = {out, size - 1};
  for (u32 i = start; i < length && o.left > 0;) {
    u32 c;
    i += Next(d, raw + i, length - i, &c);
    Emit(&o, c, d.controls);
  }
  *o.at = 0;
}

}  // namespace

bool ParseCharset(const char* name, Charset* out) {
  char key[16];
  u32 n = 0;
  for (const char* p = name; *p; ++p) {
    char c = *p;
    if (c == '-' || c == '_' || c == ' ') continue;
    if (n + 1 == sizeof key) return false;
    key[n++] = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
  }
  key[n] = 0;
  for (const Spelling& s : kSpellings) {
    if (std::strcmp(key, s.name) == 0) {
      *out = s.charset;
      return true;
    }
  }
  return false;
}

void DecodeName(const u8* raw, u32 length, Charset charset, char* out, u32 size) {
  if (size == 0) return;
  Decoding d = {kTable, kIso8859High[1], kNoControls};
  u32 start = 0;
  switch (charset) {
    case kLatin1: break;
    case kLatin9: d.high = kIso8859High[15]; break;
    case kCp1252: d.high = kCp1252High; break;
    case kUtf8: d.form = kUtf8Form; break;
    case kDvb: d = BroadcastDecoding(raw, length, kNameControls, &start); break;
  }
  Decode(d, raw, start, length, out, size);
}

void DecodeBroadcastString(const u8* raw, u32 length, bool text, char* out, u32 size) {
  if (size == 0) return;
  u32 start;
  Decoding d = BroadcastDecoding(raw, length, text ? kTextControls : kLineControls, &start);
  Decode(d, raw, start, length, out, size);
}
