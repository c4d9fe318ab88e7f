#include "cli/names.h"

#include <cstring>

#include "platform/platform.h"

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool SameIgnoringCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (Lower(*a) != Lower(*b)) return false;
  return *a == *b;
}

// Windows takes these as devices whatever follows a dot: "nul.ts" is NUL,
// and so is "NUL .x". Returns the length of the device word, 0 for none.
u32 DeviceNameLength(const char* stem) {
  static const char* const kDevices[] = {"con", "prn", "aux", "nul"};
  u32 length = 0;
  while (stem[length] && stem[length] != '.') ++length;
  while (length > 0 && stem[length - 1] == ' ') --length;
  if (length < 3 || length > 4) return 0;
  char base[5];
  for (u32 i = 0; i < length; ++i) base[i] = Lower(stem[i]);
  base[length] = 0;
  if (length == 3) {
    for (const char* d : kDevices)
      if (std::strcmp(base, d) == 0) return length;
    return 0;
  }
  bool port = std::strncmp(base, "com", 3) == 0 || std::strncmp(base, "lpt", 3) == 0;
  return port && base[3] >= '0' && base[3] <= '9' ? length : 0;
}

bool Unsafe(unsigned char c) {
  return c < 0x20 || c > 0x7E || std::strchr("/\\:*?\"<>|", c) != nullptr;
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
  for (const char* p = name; *p && n + 2 < size; ++p)
    stem[n++] = Unsafe(static_cast<unsigned char>(*p)) ? '_' : *p;
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

bool UniqueFileName(NameSet* set, const char* stem, char* file, u32 size) {
  if (set->count == kMaxRecordings) return false;
  for (u32 copy = 1;; ++copy) {
    if (copy == 1) FormatText(file, size, "%s.ts", stem);
    else FormatText(file, size, "%s (%u).ts", stem, copy);
    bool taken = false;
    for (u32 i = 0; i < set->count && !taken; ++i) taken = SameIgnoringCase(set->names[i], file);
    if (!taken) break;
  }
  FormatText(set->names[set->count++], kFileNameSize, "%s", file);
  return true;
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
