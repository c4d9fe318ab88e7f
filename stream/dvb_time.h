// The broadcast's times: 40-bit MJD plus BCD hh:mm:ss, BCD durations and
// offsets (all ones: none), as seconds since 1970 UTC.
#ifndef MELVIR_STREAM_DVB_TIME_H
#define MELVIR_STREAM_DVB_TIME_H

#include "platform/types.h"

// 16 bits of MJD and 24 of BCD time; false for all ones or bad BCD.
bool DecodeMjdTime(u64 raw, i64* seconds);
// 24 bits of BCD hh:mm:ss; false for all ones or bad BCD.
bool DecodeBcdDuration(u32 raw, u32* seconds);
// 16 bits of BCD hh:mm, as minutes; false for bad BCD.
bool DecodeBcdOffset(u16 raw, u32* minutes);

// "2009-05-03T20:45:00Z" (21 bytes with the NUL).
void FormatIsoUtc(i64 seconds, char out[21]);
// The civil date and time of seconds.
struct CivilTime {
  int year, month, day, hour, minute, second;
};
void ToCivil(i64 seconds, CivilTime* civil);

#endif
