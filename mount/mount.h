// `melvir mount`: the recorder disk as a read-only folder of its recordings,
// through FUSE (Linux). The command line says what to show in plain records.
#ifndef MELVIR_MOUNT_MOUNT_H
#define MELVIR_MOUNT_MOUNT_H

#include <vector>

#include "platform/drive_map.h"
#include "platform/types.h"

// A recording the mount shows as a file: its file name and its chain of
// clusters clusters from firstCluster (as the listing walked it).
struct MountRecording {
  const char* name;
  u32 firstCluster;
  u32 clusters;
};

struct MountRequest {
  const char* mountPoint;
  bool background;     // detach once mounted
  bool allowOther;     // other users may read it (FUSE allow_other)
  bool quiet;          // no word once mounted
  bool rescue;         // unreadable sectors read as zeros, named on stderr
  const char* source;  // the image or device, as messages name it
  bool scanFailed;     // the directory could not be read to its end
  std::vector<MountRecording> recordings;  // the root's files
  std::vector<MountRecording> lost;        // lost/'s files (none: no folder)
  const char* info;    // INFO.txt's text
  const DriveMap* map;   // the mapfile's, or null: its unreadable ranges are known at once
  void (*noteDamage)();  // told from any thread when damage is met
};

// Before the disk is read: the mount point is an empty folder, FUSE is at
// hand and, for allowOther, it lets this user open the mount to others
// (root, or user_allow_other in /etc/fuse.conf). False, with the reason on
// stderr, otherwise.
bool CheckMountPoint(const char* mountPoint, bool allowOther);

// Mounts and serves until unmounted or interrupted: true for an unmount or
// a signal, false when the mount could not be made (said).
bool MountAndServe(const MountRequest& request);

#endif
