#include "app/command_line.h"

bool ParseCommandLine(const char* line, bool* trace, bool* quiet) {
  for (const char* p = line; *p;) {
    if (*p == ' ') {
      ++p;
      continue;
    }
    if (p[0] != '/') return false;
    if (p[1] == 'T' || p[1] == 't')
      *trace = true;
    else if (p[1] == 'V' || p[1] == 'v')
      *quiet = true;
    else
      return false;  // another letter, or "/" at the end
    p += 2;
  }
  return true;
}
