// The files a mount shows, built once while mounting and only read after,
// by any number of threads: one per recording, named as extract names it,
// lost/ with the lost recordings the check finds, INFO.txt with the info
// text and DAMAGE.txt with the unreadable ranges known so far. A
// recording's size is what extract writes for it, and any of its bytes is
// read by position.
#ifndef MELVIR_MOUNT_MOUNT_FILES_H
#define MELVIR_MOUNT_MOUNT_FILES_H

#include <string>
#include <unordered_map>
#include <vector>

#include "disk/block_form.h"
#include "mount/mount.h"
#include "rescue/position.h"

enum MountFolder { kMountRoot, kMountLost };

struct MountFile {
  std::string name;    // in its folder
  MountFolder folder;
  bool info;           // INFO.txt: its bytes are the table's info text
  bool damageText;     // DAMAGE.txt: its bytes are the damage known so far
  u64 size;            // bytes, as extract writes them (DAMAGE.txt: 0, see MountFileSize)
  FormPlan plan;
  ChainIndex index;
  // A recording's unreadable ranges in file offsets, sorted and disjoint;
  // they grow as reads meet damage, under the lock of mount_damage.cpp.
  mutable std::vector<ByteRun> unreadable;
};

struct MountTable {
  std::vector<MountFile> files;
  std::vector<ClusterRun> runs;  // every recording's, one after another
  std::unordered_map<std::string, u32> byPath;  // "NAME.ts", "lost/NAME.ts"
  std::string info;
  bool lostFolder;     // lost recordings were found
  bool pastDamage;     // unreadable sectors read as zeros (--rescue, --mapfile)
  void (*noteDamage)();  // told when damage is met, or null
  void (*damageGrew)();  // told when a new unreadable range is known, or null
};

// Builds the files the request names, of the open disk.
void BuildMountTable(const MountRequest& request, MountTable* table);

// What a path of the mount names ("/", "/lost", "/NAME.ts", "/lost/NAME.ts").
struct MountNode {
  bool folder;
  MountFolder which;       // a folder: which one
  const MountFile* file;   // otherwise the file
};
bool LookUpMountPath(const MountTable& table, const char* path, MountNode* node);

// The file's size now: DAMAGE.txt grows with the damage met.
u64 MountFileSize(const MountTable& table, const MountFile& file);

// Up to size bytes of file at offset, as pread gives them: the count read
// (0 at or past the end), or -EIO where the disk could not be read.
// DAMAGE.txt is read in the read handler, from one copy of its text.
// unitBuffer as for RereadPiece: one per thread.
long ReadMountFile(const MountTable& table, const MountFile& file, u64 offset, u8* buffer,
                   u32 size, u8* unitBuffer);

#endif
