// The pieces melvir-ts-si builds its sections of: bytes appended in
// broadcast order, MJD and BCD times, section headers closed with their
// length and CRC, and the tool's string arguments.
#ifndef MELVIR_TOOLS_TS_SECTIONS_H
#define MELVIR_TOOLS_TS_SECTIONS_H

#include <cstdint>
#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

uint32_t Crc32(const uint8_t* p, size_t n);
// \xNN escapes undone.
std::string Unescape(const std::string& s);
// The fields of A|B|C.
std::vector<std::string> Split(const std::string& s);
void Append(Bytes* b, const std::string& s);
void Append(Bytes* b, const Bytes& s);
int Bcd(int v);
// 16 bits of MJD and 24 of BCD time.
void PutMjd(Bytes* b, int64_t t);
void PutBcdDuration(Bytes* b, uint32_t s);
void Put16(Bytes* b, unsigned v);
// Sets section_length from the bytes after it, and appends the CRC.
void Close(Bytes* s, bool crc);
// A long-form section header up to last_section_number.
Bytes LongHeader(uint8_t table, uint16_t extension, uint8_t version, uint8_t section, uint8_t last);

#endif
