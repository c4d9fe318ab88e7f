// JSON strings and the recording rows' first members.
#include "report/json.h"

void WriteJsonString(std::FILE* out, const char* text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::fputc('"', out);
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    unsigned char c = *p;
    if (c == '"' || c == '\\') {
      std::fputc('\\', out);
      std::fputc(c, out);
    } else if (c >= 0x20 && c <= 0x7E) {
      std::fputc(c, out);
    } else {
      std::fputs("\\u00", out);
      std::fputc(kHex[c >> 4], out);
      std::fputc(kHex[c & 15], out);
    }
  }
  std::fputc('"', out);
}

void WriteJsonUtf8(std::FILE* out, const char* text) {
  std::fputc('"', out);
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    unsigned char c = *p;
    if (c == '"' || c == '\\') std::fprintf(out, "\\%c", c);
    else if (c < 0x20 || c == 0x7F) std::fprintf(out, "\\u%04X", c);
    else std::fputc(c, out);
  }
  std::fputc('"', out);
}

void WriteJsonRecording(std::FILE* out, u32 index, const char* name, u32 firstCluster,
                        u32 sizeMiB, const char* text) {
  std::fprintf(out, "{\"index\": %u, \"name\": ", index);
  WriteJsonString(out, name);
  std::fprintf(out, ", \"first_cluster\": %u, \"size_mib\": %u, \"text\": ", firstCluster, sizeMiB);
  WriteJsonString(out, text);
}
