// The set of output file names of one run: an open-addressing hash over
// case-folded keys, grown as names come.
#include <cstdlib>
#include <cstring>

#include "text/charset_tables.h"
#include "text/names.h"
#include "text/utf8.h"
#include "platform/platform.h"

namespace {

// A key is a kind letter and the folded name; folding may lengthen a
// character from 2 to 3 bytes, never more than doubles a name.
const u32 kKeySize = 2 * kFileNameSize + 2;
const char kFileKey = 'f', kStemKey = 's';

bool MakeKey(char kind, const char* name, char* key) {
  u32 n = 0;
  key[n++] = kind;
  const u8* p = reinterpret_cast<const u8*>(name);
  for (u32 left = u32(std::strlen(name)); left > 0;) {
    u32 c, used = ReadUtf8(p, left, &c);
    if (n + kMaxUtf8Length + 1 > kKeySize) return false;
    if (c == kReplacement) std::memcpy(key + n, p, used);  // kept as it stands
    n += c == kReplacement ? used : WriteUtf8(FoldLetter(c), key + n);
    p += used;
    left -= used;
  }
  key[n] = 0;
  return true;
}

u32 Hash(const char* key) {  // FNV-1a
  u32 h = 2166136261u;
  for (const u8* p = reinterpret_cast<const u8*>(key); *p; ++p) h = (h ^ *p) * 16777619u;
  return h;
}

const char* KeyOf(const NameSet* set, u32 entry) {
  return set->pool + set->entries[entry].keyStart;
}

// The slot that holds key, or the free slot where it would go.
u32 SlotOf(const NameSet* set, const char* key) {
  u32 mask = set->slotCount - 1;
  u32 at = Hash(key) & mask;
  while (set->slots[at] != 0 && std::strcmp(KeyOf(set, set->slots[at] - 1), key) != 0)
    at = (at + 1) & mask;
  return at;
}

// Rebuilds the slots from the entries, with room for one more at half load.
bool Rehash(NameSet* set) {
  u32 slotCount = set->slotCount ? set->slotCount : 64;
  while (slotCount / 2 < set->count + 1) slotCount *= 2;
  u32* slots = static_cast<u32*>(std::calloc(slotCount, sizeof(u32)));
  if (!slots) return false;
  std::free(set->slots);
  set->slots = slots;
  set->slotCount = slotCount;
  for (u32 i = 0; i < set->count; ++i) set->slots[SlotOf(set, KeyOf(set, i))] = i + 1;
  set->held = set->count;
  return true;
}

bool Grow(void** block, u32 needed, u32* have, u32 unit) {
  if (needed <= *have) return true;
  u32 size = *have ? *have : 64;
  while (size < needed) size *= 2;
  void* grown = std::realloc(*block, size_t(size) * unit);
  if (!grown) return false;
  *block = grown;
  *have = size;
  return true;
}

// Adds a key not yet held; *entry is its number.
bool Add(NameSet* set, const char* key, u32* entry) {
  u32 start = 0;
  if (set->count > 0) {
    const char* last = KeyOf(set, set->count - 1);
    start = set->entries[set->count - 1].keyStart + u32(std::strlen(last)) + 1;
  }
  u32 length = u32(std::strlen(key)) + 1;
  if (!Grow(reinterpret_cast<void**>(&set->entries), set->count + 1, &set->capacity,
            sizeof(NameEntry)))
    return false;
  if (!Grow(reinterpret_cast<void**>(&set->pool), start + length, &set->poolSize, 1)) return false;
  if (set->slotCount / 2 < set->count + 1 && !Rehash(set)) return false;
  std::memcpy(set->pool + start, key, length);
  set->entries[set->count] = NameEntry{start, 1};
  set->slots[SlotOf(set, key)] = set->count + 1;
  *entry = set->count++;
  set->held = set->count;
  return true;
}

bool Find(const NameSet* set, const char* key, u32* entry) {
  if (set->slotCount == 0) return false;
  u32 slot = set->slots[SlotOf(set, key)];
  if (slot) *entry = slot - 1;
  return slot != 0;
}

}  // namespace

u32 FoldLetter(u32 c) {
  u32 low = 0, high = kCaseFoldCount;
  while (low < high) {
    u32 mid = (low + high) / 2;
    if (kCaseFolds[mid].from < c) low = mid + 1;
    else high = mid;
  }
  return low < kCaseFoldCount && kCaseFolds[low].from == c ? kCaseFolds[low].to : c;
}

bool UniqueFileName(NameSet* set, const char* stem, char* file, u32 size) {
  if (set->count > set->held) set->count = set->held;  // never more than were added
  if (set->count != set->held && !Rehash(set)) return false;  // emptied by its owner
  char stemKey[kKeySize], fileKey[kKeySize];
  if (!MakeKey(kStemKey, stem, stemKey)) return false;
  // The copy numbers below a stem's hint were all found taken.
  u32 stemEntry = 0, taken = 0;
  bool known = Find(set, stemKey, &stemEntry);
  u32 stemLength = u32(std::strlen(stem));
  for (u32 copy = known ? set->entries[stemEntry].next : 1;; ++copy) {
    char suffix[20];
    u32 suffixLength = copy == 1 ? FormatText(suffix, sizeof suffix, ".ts")
                                 : FormatText(suffix, sizeof suffix, " (%u).ts", copy);
    if (stemLength + suffixLength >= size) return false;
    std::memcpy(file, stem, stemLength);
    std::memcpy(file + stemLength, suffix, suffixLength + 1);
    if (!MakeKey(kFileKey, file, fileKey)) return false;
    if (!Find(set, fileKey, &taken)) {
      if (!Add(set, fileKey, &taken)) return false;
      if (!known && !Add(set, stemKey, &stemEntry)) return true;  // only the hint is lost
      set->entries[stemEntry].next = copy + 1;
      return true;
    }
  }
}

void FreeNameSet(NameSet* set) {
  std::free(set->entries);
  std::free(set->pool);
  std::free(set->slots);
  std::memset(set, 0, sizeof *set);
}
