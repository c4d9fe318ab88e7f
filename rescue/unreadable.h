// The bytes of a recording that a ddrescue mapfile says cannot be read, for
// `list --json` (unreadable_bytes): from its chain and the map alone,
// without reading the recording.
#ifndef MELVIR_RESCUE_UNREADABLE_H
#define MELVIR_RESCUE_UNREADABLE_H

#include "platform/drive_map.h"
#include "platform/types.h"

// The recording of clusters clusters (as a walk counted them) from first.
// False when its chain cannot be followed that far.
bool RecordingUnreadableBytes(const DriveMap& map, u32 first, u32 clusters, u64* bytes);

#endif
