// Safe file names from decoded recording names.
#include "text/names.h"

#include <cstring>

#include "text/utf8.h"
#include "platform/platform.h"

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// Windows takes these as devices whatever follows a dot: "nul.ts" is NUL,
// and so is "NUL .x"; the ports also with a superscript digit ("COM\u00B9").
// Returns the length of the device word, 0 for none.
u32 DeviceNameLength(const char* stem) {
  static const char* const kDevices[] = {"con", "prn", "aux", "nul"};
  u32 length = 0;
  while (stem[length] && stem[length] != '.') ++length;
  while (length > 0 && stem[length - 1] == ' ') --length;
  if (length < 3 || length > 5) return 0;
  char base[6];
  for (u32 i = 0; i < length; ++i) base[i] = Lower(stem[i]);
  base[length] = 0;
  if (length == 3) {
    for (const char* d : kDevices)
      if (std::strcmp(base, d) == 0) return length;
    return 0;
  }
  if (std::strncmp(base, "com", 3) != 0 && std::strncmp(base, "lpt", 3) != 0) return 0;
  const char* number = base + 3;
  if (length == 4) return *number >= '0' && *number <= '9' ? length : 0;
  bool superscript = std::strcmp(number, "\xC2\xB9") == 0 || std::strcmp(number, "\xC2\xB2") == 0 ||
                     std::strcmp(number, "\xC2\xB3") == 0;
  return superscript ? length : 0;
}

// Characters no file name gets: those Windows refuses, control codes, what
// did not decode, and the invisible ones that break a line or turn the text
// direction (a name could show as something else in a file list).
bool Unsafe(u32 c) {
  if (c < 0x80) return c < 0x20 || c == 0x7F || std::strchr("/\\:*?\"<>|", int(c)) != nullptr;
  return c <= 0x9F || c == kReplacement || c == 0x2028 || c == 0x2029 ||
         (c >= 0x200E && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2066 && c <= 0x2069);
}

bool Trimmed(char c) { return c == '.' || c == ' '; }

}  // namespace

bool NameFromListText(const char* text, u32 sizeMiB, char* name, u32 size) {
  char suffix[16];
  u32 suffixLength = FormatText(suffix, sizeof suffix, "  %uMo", sizeMiB);
  u32 length = u32(std::strlen(text));
  if (length < suffixLength || std::strcmp(text + length - suffixLength, suffix) != 0) return false;
  length -= suffixLength;
  if (length >= size) return false;
  std::memcpy(name, text, length);
  name[length] = 0;
  return true;
}

void SafeStem(const char* name, char* stem, u32 size) {
  // Room is kept for the '_' a device name gets.
  u32 n = 0;
  const u8* p = reinterpret_cast<const u8*>(name);
  for (u32 left = u32(std::strlen(name)); left > 0;) {
    u32 c, used = ReadUtf8(p, left, &c);
    bool safe = !Unsafe(c);
    u32 length = safe ? used : 1;
    if (n + length + 2 > size) break;
    if (safe) std::memcpy(stem + n, p, used);
    else stem[n] = '_';
    n += length;
    p += used;
    left -= used;
  }
  u32 start = 0;
  while (start < n && Trimmed(stem[start])) ++start;
  while (n > start && Trimmed(stem[n - 1])) --n;
  std::memmove(stem, stem + start, n - start);
  n -= start;
  stem[n] = 0;
  if (n == 0) {
    FormatText(stem, size, "%s", "recording");
    return;
  }
  if (u32 device = DeviceNameLength(stem)) {  // "con.x" becomes "con_.x"
    std::memmove(stem + device + 1, stem + device, n - device + 1);
    stem[device] = '_';
  }
}

bool NumberedPath(const char* path, u32 n, char* out, u32 size) {
  const char* name = path;
  for (const char* p = path; *p; ++p)
    if (*p == '/' || *p == '\\') name = p + 1;
  const char* dot = std::strrchr(name, '.');
  if (!dot || dot == name) dot = name + std::strlen(name);
  return FormatText(out, size, "%.*s (%u)%s", int(dot - path), path, n, dot) < size - 1;
}

bool JoinPath(const char* folder, const char* file, char* path, u32 size) {
  u32 length = 0;
  if (!folder || !*folder) {
    length = FormatText(path, size, "%s", file);
    return std::strlen(file) == length;
  }
  u32 folderLength = u32(std::strlen(folder));
  char last = folder[folderLength - 1];
  bool separated = last == '/' || last == '\\';
#ifdef _WIN32
  separated = separated || (folderLength == 2 && last == ':');  // "D:" + "x.ts"
#endif
  length = FormatText(path, size, "%s%s%s", folder, separated ? "" : "/", file);
  return length == folderLength + (separated ? 0 : 1) + std::strlen(file);
}
