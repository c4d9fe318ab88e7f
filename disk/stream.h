// The transport stream a recording holds: 188-byte packets, each starting
// with the sync byte.
#ifndef MELVIR_DISK_STREAM_H
#define MELVIR_DISK_STREAM_H

#include "platform/types.h"

const u8 kSyncByte = 0x47;
const u32 kPacketSize = 188;

#endif
