#include "cli/json.h"

#include <cstring>

#include "cli/utf8.h"

namespace {

void WriteEscape(std::FILE* out, u32 unit) { std::fprintf(out, "\\u%04X", unsigned(unit)); }

void WriteCharacter(std::FILE* out, u32 c) {
  if (c == '"' || c == '\\') {
    std::fputc('\\', out);
    std::fputc(int(c), out);
  } else if (c >= 0x20 && c <= 0x7E) {
    std::fputc(int(c), out);
  } else if (c > 0xFFFF) {
    WriteEscape(out, 0xD800 + ((c - 0x10000) >> 10));
    WriteEscape(out, 0xDC00 + ((c - 0x10000) & 0x3FF));
  } else {
    WriteEscape(out, c);
  }
}

}  // namespace

void WriteJsonString(std::FILE* out, const char* text) {
  std::fputc('"', out);
  for (const u8* p = reinterpret_cast<const u8*>(text); *p; ++p) WriteCharacter(out, *p);
  std::fputc('"', out);
}

void WriteJsonUtf8String(std::FILE* out, const char* text) {
  std::fputc('"', out);
  const u8* p = reinterpret_cast<const u8*>(text);
  for (u32 left = u32(std::strlen(text)); left > 0;) {
    u32 c, used = ReadUtf8(p, left, &c);
    WriteCharacter(out, c);
    p += used;
    left -= used;
  }
  std::fputc('"', out);
}

void WriteJsonRecording(std::FILE* out, u32 index, const char* name, u32 firstCluster,
                        u32 sizeMiB, const char* text) {
  std::fprintf(out, "{\"index\": %u, \"name\": ", index);
  WriteJsonString(out, name);
  std::fprintf(out, ", \"first_cluster\": %u, \"size_mib\": %u, \"text\": ", firstCluster, sizeMiB);
  WriteJsonString(out, text);
  std::fputc('}', out);
}
