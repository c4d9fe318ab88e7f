// Parsing a GNU ddrescue mapfile: "#" comments (a line, or after a blank), one status line
// (current_pos current_status [current_pass]), then "pos size status"
// blocks, sorted and not overlapping, numbers in hex (0x...) or decimal.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/drive_map.h"
#include "platform/platform.h"

namespace {

const u64 kLargest = 0x7FFFFFFFFFFFFFFFull;  // ddrescue's positions are signed 64-bit
const u32 kMaxFields = 4;

struct Field {
  const char* at;
  u32 length;
};

// Splits a line at blanks; false when it has more than kMaxFields fields.
// A '#' that starts a field begins a comment to the end of the line, as
// `ddrescuelog -A` writes after every line.
bool SplitFields(const char* line, const char* end, Field* fields, u32* count) {
  *count = 0;
  const char* p = line;
  for (;;) {
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\r')) ++p;
    if (p == end || *p == '#') return true;
    if (*count == kMaxFields) return false;
    const char* start = p;
    while (p < end && *p != ' ' && *p != '\t' && *p != '\r') ++p;
    fields[(*count)++] = {start, u32(p - start)};
  }
}

bool ParseNumber(const Field& f, u64* value) {
  const char* p = f.at;
  const char* end = f.at + f.length;
  u64 base = 10;
  if (f.length > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    base = 16;
    p += 2;
  }
  u64 v = 0;
  for (; p < end; ++p) {
    u64 digit;
    if (*p >= '0' && *p <= '9')
      digit = u64(*p - '0');
    else if (base == 16 && *p >= 'a' && *p <= 'f')
      digit = u64(*p - 'a' + 10);
    else if (base == 16 && *p >= 'A' && *p <= 'F')
      digit = u64(*p - 'A' + 10);
    else
      return false;
    if (v > (kLargest - digit) / base) return false;
    v = v * base + digit;
  }
  *value = v;
  return true;
}

// The statuses of blocks, and those ddrescue may also leave as its current
// status (filling and generating).
bool IsBlockStatus(const Field& f) { return f.length == 1 && std::strchr("?*/-+", f.at[0]); }
bool IsCurrentStatus(const Field& f) { return f.length == 1 && std::strchr("?*/-FG+", f.at[0]); }

struct Parse {
  DriveMap* map;
  u32* line;
  char* reason;
  u32 reasonSize;
  bool statusSeen;
  u32 lastLine;  // line of the last block, 0 before the first
  u64 lastPosition, lastEnd;
};

bool Refuse(Parse* p, u32 line, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
bool Refuse(Parse* p, u32 line, const char* format, ...) {
  *p->line = line;
  va_list args;
  va_start(args, format);
  FormatTextV(p->reason, p->reasonSize, format, args);
  va_end(args);
  return false;
}

// A field quoted in a reason: at most 40 bytes of it.
int Shown(const Field& f) { return int(f.length < 40 ? f.length : 40); }

bool StatusLine(Parse* p, u32 n, const Field* f, u32 count) {
  u64 value;
  if (count < 2 || count > 3 || !IsCurrentStatus(f[1]))
    return Refuse(p, n, "status line expected (current_pos current_status [current_pass])");
  for (u32 i = 0; i < count; i += 2)
    if (!ParseNumber(f[i], &value))
      return Refuse(p, n, "'%.*s' is not a number", Shown(f[i]), f[i].at);
  p->statusSeen = true;
  return true;
}

bool BlockLine(Parse* p, u32 n, const Field* f, u32 count) {
  if (count != 3) return Refuse(p, n, "block expected (pos size status)");
  u64 position, size;
  for (u32 i = 0; i < 2; ++i)
    if (!ParseNumber(f[i], i ? &size : &position))
      return Refuse(p, n, "'%.*s' is not a number", Shown(f[i]), f[i].at);
  if (!IsBlockStatus(f[2]))
    return Refuse(p, n, "unknown status '%.*s'", Shown(f[2]), f[2].at);
  if (size == 0) return Refuse(p, n, "block of size 0");
  if (size > kLargest - position) return Refuse(p, n, "block ends past the largest position");
  if (p->lastLine && position < p->lastPosition)
    return Refuse(p, n, "block comes before the block on line %u (blocks must be sorted)",
                  p->lastLine);
  if (p->lastLine && position < p->lastEnd)
    return Refuse(p, n, "block overlaps the block on line %u", p->lastLine);
  if (f[2].at[0] == '+' || f[2].at[0] == '-') {
    std::vector<ByteRun>& runs = f[2].at[0] == '+' ? p->map->readable : p->map->bad;
    if (!runs.empty() && runs.back().end == position)
      runs.back().end = position + size;
    else
      runs.push_back({position, position + size});
  }
  p->lastLine = n;
  p->lastPosition = position;
  p->lastEnd = position + size;
  return true;
}

}  // namespace

bool ParseMapfile(const char* text, size_t length, u64 imageSize, DriveMap* map, u32* line,
                  char* reason, u32 reasonSize) {
  map->readable.clear();
  map->bad.clear();
  map->extent = 0;
  Parse p = {map, line, reason, reasonSize, false, 0, 0, 0};
  const char* end = text + length;
  u32 n = 0, statusLine = 0;
  for (const char* at = text; at < end;) {
    const char* eol = static_cast<const char*>(std::memchr(at, '\n', size_t(end - at)));
    if (!eol) eol = end;
    ++n;
    const char* start = at;
    at = eol + 1;
    while (start < eol && (*start == ' ' || *start == '\t' || *start == '\r')) ++start;
    if (start == eol || *start == '#') continue;
    Field f[kMaxFields];
    u32 count;
    if (!SplitFields(start, eol, f, &count)) return Refuse(&p, n, "too many fields");
    if (!p.statusSeen) {
      if (!StatusLine(&p, n, f, count)) return false;
      statusLine = n;
    } else if (!BlockLine(&p, n, f, count)) {
      return false;
    }
  }
  if (!p.statusSeen) return Refuse(&p, 0, "no status line");
  if (!p.lastLine && imageSize > 0) return Refuse(&p, statusLine, "no blocks after the status line");
  if (p.lastEnd < imageSize)
    return Refuse(&p, p.lastLine, "the last block ends at 0x%llX, before the image does (0x%llX)",
                  (unsigned long long)p.lastEnd, (unsigned long long)imageSize);
  map->extent = p.lastEnd;
  *line = 0;
  return true;
}

bool LoadMapfile(const char* path, u64 imageSize, DriveMap* map, char* error, u32 errorSize) {
  std::FILE* f = std::fopen(path, "rb");
  if (!f) {
    FormatText(error, errorSize, "%s: cannot open: %s", path, std::strerror(errno));
    return false;
  }
  std::vector<char> text;
  char chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.insert(text.end(), chunk, chunk + n);
  bool failed = std::ferror(f) != 0;
  int readError = errno;
  std::fclose(f);
  if (failed) {
    FormatText(error, errorSize, "%s: cannot read: %s", path, std::strerror(readError));
    return false;
  }
  u32 line;
  char reason[160];
  if (ParseMapfile(text.data(), text.size(), imageSize, map, &line, reason, sizeof reason))
    return true;
  if (line)
    FormatText(error, errorSize, "%s:%u: %s", path, line, reason);
  else
    FormatText(error, errorSize, "%s: %s", path, reason);
  return false;
}
