// FUSE reads answered whole from memory, or failed whole.
#include "mount/mount_read.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "mount/mount_damage.h"
#include "rescue/rescue.h"

int ReplyToRead(const MountTable& t, u64 file, size_t size, off_t offset, fuse_bufvec** reply) {
  alignas(kMaxRereadUnit) thread_local u8 unit[kMaxRereadUnit];
  if (offset < 0 || file >= t.files.size()) return -EINVAL;
  const MountFile& f = t.files[file];
  // DAMAGE.txt changes as reads meet damage, and may get shorter when ranges
  // merge: served from one copy of it, taken now.
  const std::string text = f.damageText ? DamageText(t) : std::string();
  u64 at = u64(offset), fileSize = f.damageText ? text.size() : f.size;
  u32 length = at >= fileSize ? 0 : u32(std::min<u64>(std::min<size_t>(size, 1u << 30), fileSize - at));
  fuse_bufvec* v = static_cast<fuse_bufvec*>(std::calloc(1, sizeof *v));
  void* memory = std::malloc(length ? length : 1);
  long got = -ENOMEM;
  if (v && memory && f.damageText)
    got = length ? long(text.copy(static_cast<char*>(memory), length, at)) : 0;
  else if (v && memory)
    got = ReadMountFile(t, f, at, static_cast<u8*>(memory), length, unit);
  if (got != long(length)) {
    std::free(memory);
    std::free(v);
    return got < 0 ? int(got) : -EIO;
  }
  v->count = 1;
  v->buf[0].mem = memory;
  v->buf[0].size = length;
  *reply = v;
  return 0;
}
