// SubRip cues.
#include "stream/subrip.h"

#include <cinttypes>
#include <cstdio>

std::string SubripTime(u64 pts) {
  u64 ms = pts / 90, hours = ms / 3600000;
  char text[40];
  std::snprintf(text, sizeof text, "%02" PRIu64 ":%02u:%02u,%03u", hours, unsigned(ms / 60000 % 60),
                unsigned(ms / 1000 % 60), unsigned(ms % 1000));
  return text;
}

bool AppendSubripCue(std::string* out, u32 number, const TeletextCue& cue, u64 zeroPts) {
  if (cue.endPts <= zeroPts) return false;
  u64 start = cue.startPts > zeroPts ? cue.startPts - zeroPts : 0;
  *out += std::to_string(number);
  *out += '\n';
  *out += SubripTime(start);
  *out += " --> ";
  *out += SubripTime(cue.endPts - zeroPts);
  *out += '\n';
  *out += cue.text;
  *out += "\n\n";
  return true;
}
