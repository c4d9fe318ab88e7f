// The transport stream a recording holds: 188-byte packets, each starting
// with the sync byte.
#ifndef MELVIR_DISK_STREAM_H
#define MELVIR_DISK_STREAM_H

#include "disk/block_form.h"  // the sync byte, which the block form is known by

const u32 kPacketSize = 188;

#endif
