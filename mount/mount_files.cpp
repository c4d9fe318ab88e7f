// The mount's files built from the request, looked up and read by position.
#include "mount/mount_files.h"

#include <cerrno>
#include <cstring>

#include "mount/mount_damage.h"
#include "platform/platform.h"
#include "report/read_failure.h"
#include "report/say.h"

namespace {

// Adds the recording whose chain is clusters clusters from first.
void AddRecording(MountTable* t, const char* name, MountFolder folder, u32 first, u32 clusters,
                  const DriveMap* map, std::vector<size_t>* runStarts) {
  size_t start = t->runs.size();
  u32 collected = 0;
  if (!IndexChain(first, clusters, t->pastDamage, AppendClusterRun, &t->runs, &collected))
    Say("%s: its chain cannot be followed past cluster %u of %u; the file ends there", name,
        collected, clusters);
  MountFile f = {};
  f.name = name;
  f.folder = folder;
  f.index = {t->runs.data() + start, u32(t->runs.size() - start),
             u64(collected) * g_disk.usableClusterBytes};
  alignas(kMaxRereadUnit) static u8 unit[kMaxRereadUnit];
  PlanFormByPosition(f.index, unit, &f.plan);
  if (f.plan.unvoted) SayFormTaken((folder == kMountLost ? "lost/" + f.name : f.name).c_str());
  f.size = OutputLength(StreamLength(f.plan, f.index.bytes));
  if (map) KnowMapDamage(*map, &f);
  runStarts->push_back(start);
  t->files.push_back(f);
}

void Index(MountTable* t, const MountFile& f) {
  std::string path = f.folder == kMountLost ? "lost/" + f.name : f.name;
  t->byPath[path] = u32(&f - t->files.data());
}

// Where recording bytes [from, from + n) that became zeros lie in the file.
void SayDamage(const MountTable& t, const MountFile& f, u64 fileOffset, u64 from,
               const ReadDamage& damage) {
  if (t.noteDamage) t.noteDamage();
  bool grew = false;
  for (u32 i = 0; i < damage.runCount; ++i) {
    u64 at = fileOffset + (damage.runs[i].offset - from);
    Say("%s%s: %u unreadable bytes at offset %llu read as zeros",
        f.folder == kMountLost ? "lost/" : "", f.name.c_str(), damage.runs[i].length,
        static_cast<unsigned long long>(at));
    grew |= NoteUnreadable(f, ByteRun{at, at + damage.runs[i].length});
  }
  if (grew && t.damageGrew) t.damageGrew();
}

}  // namespace

void BuildMountTable(const MountRequest& o, MountTable* t) {
  t->pastDamage = o.rescue;
  t->noteDamage = o.noteDamage;
  std::vector<size_t> runStarts;
  for (const MountRecording& r : o.recordings)
    AddRecording(t, r.name, kMountRoot, r.firstCluster, r.clusters, o.map, &runStarts);
  for (const MountRecording& r : o.lost) {
    AddRecording(t, r.name, kMountLost, r.firstCluster, r.clusters, o.map, &runStarts);
    t->lostFolder = true;
  }
  // The runs have all been collected: the indexes can point into them now.
  for (size_t i = 0; i < t->files.size(); ++i) t->files[i].index.runs = t->runs.data() + runStarts[i];
  t->info = o.info;
  MountFile info = {};
  info.name = "INFO.txt";
  info.folder = kMountRoot;
  info.info = true;
  info.size = t->info.size();
  t->files.push_back(info);
  MountFile damage = {};
  damage.name = "DAMAGE.txt";
  damage.folder = kMountRoot;
  damage.damageText = true;
  t->files.push_back(damage);
  for (const MountFile& f : t->files) Index(t, f);
}

bool LookUpMountPath(const MountTable& t, const char* path, MountNode* node) {
  *node = MountNode{};
  if (path[0] == '/') ++path;
  if (path[0] == 0 || (t.lostFolder && std::strcmp(path, "lost") == 0)) {
    node->folder = true;
    node->which = path[0] ? kMountLost : kMountRoot;
    return true;
  }
  auto found = t.byPath.find(path);
  if (found == t.byPath.end()) return false;
  node->file = &t.files[found->second];
  return true;
}

u64 MountFileSize(const MountTable& t, const MountFile& f) {
  return f.damageText ? DamageText(t).size() : f.size;
}

long ReadMountFile(const MountTable& t, const MountFile& f, u64 offset, u8* buffer, u32 size,
                   u8* unitBuffer) {
  if (offset >= f.size) return 0;
  if (size > f.size - offset) size = u32(f.size - offset);
  if (f.info) {
    std::memcpy(buffer, t.info.data() + offset, size);
    return long(size);
  }
  ReadDamage damage;
  for (u32 done = 0; done < size;) {
    u64 from;
    u32 left;
    StreamPosition(f.plan, offset + done, &from, &left);
    u32 n = left < size - done ? left : size - done;
    u32 got = 0;
    if (!ReadRecordingAt(f.index, from, buffer + done, n, t.pastDamage, unitBuffer, &damage,
                         &got) ||
        got != n)
      return -EIO;
    if (damage.runCount) SayDamage(t, f, offset + done, from, damage);
    done += n;
  }
  return long(size);
}
