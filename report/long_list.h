// The long listing of `melvir list -l`: a heading, then one line per
// recording with its number, directory slot, first cluster, exact size in
// bytes and in MiB, its name and what is known to be wrong with it.
#ifndef MELVIR_REPORT_LONG_LIST_H
#define MELVIR_REPORT_LONG_LIST_H

#include <cstdio>
#include <vector>

#include "platform/types.h"

struct LongListRow {
  u32 number;
  u32 slot;
  u32 firstCluster;
  u64 bytes;               // what its clusters hold for it
  const char* name;        // decoded, UTF-8
  const char* damage;      // how its chain is damaged, or ""
  bool unreadableKnown;    // a mapfile gave unreadableBytes
  u64 unreadableBytes;
};

// The digits of n in decimal: the width the lists align numbers to.
u32 DecimalDigits(u64 n);

// The rows, columns aligned to the widest value; nothing for none. False on
// a write error.
bool WriteLongList(std::FILE* out, const std::vector<LongListRow>& rows);

#endif
