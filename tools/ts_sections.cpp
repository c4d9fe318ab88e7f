// The section pieces of melvir-ts-si.
#include "ts_sections.h"

#include <cstdlib>

uint32_t Crc32(const uint8_t* p, size_t n) {
  uint32_t crc = 0xFFFFFFFF;
  for (size_t i = 0; i < n; ++i) {
    crc ^= uint32_t(p[i]) << 24;
    for (int b = 0; b < 8; ++b) crc = crc & 0x80000000 ? crc << 1 ^ 0x04C11DB7 : crc << 1;
  }
  return crc;
}

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() + 0 && s[i + 1] == 'x') {
      out += char(std::strtoul(s.substr(i + 2, 2).c_str(), nullptr, 16));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::vector<std::string> Split(const std::string& s) {
  std::vector<std::string> parts;
  size_t from = 0;
  for (size_t at; (at = s.find('|', from)) != std::string::npos; from = at + 1)
    parts.push_back(s.substr(from, at - from));
  parts.push_back(s.substr(from));
  return parts;
}

// Byte by byte: GCC 12 warns wrongly about vector::insert after an initializer list.
void Append(Bytes* b, const std::string& s) {
  for (char c : s) b->push_back(uint8_t(c));
}
void Append(Bytes* b, const Bytes& s) {
  for (uint8_t c : s) b->push_back(c);
}

int Bcd(int v) { return (v / 10) << 4 | v % 10; }

void PutMjd(Bytes* b, int64_t t) {
  int64_t days = t / 86400, rest = t % 86400;
  uint32_t mjd = uint32_t(days + 40587);
  b->push_back(uint8_t(mjd >> 8));
  b->push_back(uint8_t(mjd));
  b->push_back(uint8_t(Bcd(int(rest / 3600))));
  b->push_back(uint8_t(Bcd(int(rest / 60 % 60))));
  b->push_back(uint8_t(Bcd(int(rest % 60))));
}

void PutBcdDuration(Bytes* b, uint32_t s) {
  b->push_back(uint8_t(Bcd(int(s / 3600))));
  b->push_back(uint8_t(Bcd(int(s / 60 % 60))));
  b->push_back(uint8_t(Bcd(int(s % 60))));
}

void Put16(Bytes* b, unsigned v) {
  b->push_back(uint8_t(v >> 8));
  b->push_back(uint8_t(v));
}

// Sets section_length from the bytes after it, and appends the CRC.
void Close(Bytes* s, bool crc) {
  size_t length = s->size() - 3 + (crc ? 4 : 0);
  (*s)[1] = uint8_t(((*s)[1] & 0xF0) | (length >> 8 & 0x0F));
  (*s)[2] = uint8_t(length);
  if (!crc) return;
  uint32_t c = Crc32(s->data(), s->size());
  for (int i = 3; i >= 0; --i) s->push_back(uint8_t(c >> (8 * i)));
}

// A long-form section header up to last_section_number.
Bytes LongHeader(uint8_t table, uint16_t extension, uint8_t version, uint8_t section, uint8_t last) {
  Bytes s = {table, 0xF0, 0};
  Put16(&s, extension);
  s.push_back(uint8_t(0xC1 | (version & 0x1F) << 1));
  s.push_back(section);
  s.push_back(last);
  return s;
}
