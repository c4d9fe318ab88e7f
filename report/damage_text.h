// A mount's damage as text: DAMAGE.txt at its root, and the value of each
// recording file's extended attribute user.melvir.unreadable.
#ifndef MELVIR_REPORT_DAMAGE_TEXT_H
#define MELVIR_REPORT_DAMAGE_TEXT_H

#include <string>
#include <vector>

#include "platform/drive_map.h"

struct FileDamage {
  std::string path;                  // in the mount: "NAME.ts", "lost/NAME.ts"
  std::vector<ByteRun> unreadable;   // file offsets, sorted, disjoint
};

// One line per range: its offset in the file and its length, in bytes
// ("1048576 4096\n"); "" for none.
std::string UnreadableRangesText(const std::vector<ByteRun>& runs);

// DAMAGE.txt: what it holds, then each damaged file with its count of
// ranges and bytes and its ranges as above. pastDamage: unreadable sectors
// read as zeros (--rescue); without it reads there fail and none is listed.
std::string MountDamageText(const std::vector<FileDamage>& files, bool pastDamage);

#endif
