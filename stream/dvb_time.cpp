// MJD and BCD times, durations and offsets decoded.
#include "stream/dvb_time.h"

#include <cstdio>
#include <cstring>

namespace {

// Two BCD digits; false when either is not a digit.
bool Bcd(u32 byte, u32* value) {
  u32 high = byte >> 4 & 0x0F, low = byte & 0x0F;
  if (high > 9 || low > 9) return false;
  *value = high * 10 + low;
  return true;
}

bool BcdClock(u32 raw, u32* seconds) {
  u32 h, m, s;
  if (!Bcd(raw >> 16 & 0xFF, &h) || !Bcd(raw >> 8 & 0xFF, &m) || !Bcd(raw & 0xFF, &s) || m > 59 ||
      s > 59)
    return false;
  *seconds = h * 3600 + m * 60 + s;
  return true;
}

const i64 kMjdOfEpoch = 40587;  // 1970-01-01

}  // namespace

bool DecodeMjdTime(u64 raw, i64* seconds) {
  if (raw == 0xFFFFFFFFFFull) return false;
  u32 clock;
  if (!BcdClock(u32(raw & 0xFFFFFF), &clock) || clock >= 86400) return false;
  *seconds = (i64(raw >> 24 & 0xFFFF) - kMjdOfEpoch) * 86400 + clock;
  return true;
}

bool DecodeBcdDuration(u32 raw, u32* seconds) {
  return (raw & 0xFFFFFF) != 0xFFFFFF && BcdClock(raw & 0xFFFFFF, seconds);
}

bool DecodeBcdOffset(u16 raw, u32* minutes) {
  u32 h, m;
  if (!Bcd(raw >> 8, &h) || !Bcd(raw & 0xFF, &m) || m > 59) return false;
  *minutes = h * 60 + m;
  return true;
}

void ToCivil(i64 seconds, CivilTime* c) {
  i64 days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
  i64 rest = seconds - days * 86400;
  c->hour = int(rest / 3600);
  c->minute = int(rest / 60 % 60);
  c->second = int(rest % 60);
  // Days to a proleptic Gregorian date, counting eras of 400 years from 0000-03-01.
  i64 z = days + 719468;
  i64 era = (z >= 0 ? z : z - 146096) / 146097;
  i64 doe = z - era * 146097;
  i64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  i64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  i64 mp = (5 * doy + 2) / 153;
  c->day = int(doy - (153 * mp + 2) / 5 + 1);
  c->month = int(mp < 10 ? mp + 3 : mp - 9);
  c->year = int(yoe + era * 400 + (c->month <= 2 ? 1 : 0));
}

void FormatIsoUtc(i64 seconds, char out[21]) {
  CivilTime c;
  ToCivil(seconds, &c);
  char text[64];  // room for any int, so the compiler sees nothing cut
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", c.year % 10000, c.month, c.day,
                c.hour, c.minute, c.second);
  std::memcpy(out, text, 20);
  out[20] = 0;
}
