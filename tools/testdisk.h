// Test-disk builder: writes recorder disk images from a plain description,
// so that the reader can be tested against disks whose every byte is known.
// It knows the on-disk format on its own and shares no code with the reader;
// each checks the other.
//
// Images are sparse: only sectors holding something non-zero are written,
// so disks of hundreds of GiB cost almost nothing.
#ifndef MELVIR_TOOLS_TESTDISK_H
#define MELVIR_TOOLS_TESTDISK_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace testdisk {

// kWordSwapped: a big-endian disk whose every 16-bit word (metadata and
// recording data alike) is stored with its two bytes exchanged.
enum ByteOrder { kBigEndian, kLittleEndian, kWordSwapped };

// Fills n bytes of a recording's logical stream starting at stream offset
// `offset`. May be called in any order, for any piece.
typedef std::function<void(uint64_t offset, uint8_t* out, size_t n)> Content;

struct Entry {                      // one directory slot, in directory order
  std::string name;                 // raw bytes; 64 bytes = no NUL on disk; longer is an error
  uint16_t type = 13;               // 0 empty slot, 13 recording, anything else
  uint32_t clusters = 0;            // chain length the builder allocates (0 = no chain)
  bool fragmented = false;          // every other free cluster, in runs of 4 taken in reverse order
  std::vector<uint32_t> chain;      // explicit chain (overrides clusters/fragmented)
  bool overrideFirst = false;       // write firstCluster into the directory instead of chain[0]
  uint32_t firstCluster = 0;
  Content content;                  // null: zeros, nothing written (sparse)
};

struct PartitionSlot {
  std::string name;                 // at most 16 bytes (16 = no NUL)
  uint32_t firstSector = 0;
  bool endMarker = false;           // 0xFFFF in the slot's first word
};

struct Disk {
  ByteOrder order = kBigEndian;
  uint32_t sectorsPerCluster = 64;  // any value, 0 included
  uint32_t clusterCount = 1000;     // highest valid cluster number
  uint32_t tableSize = 0;           // sectors of one copy; 0 = just enough for entries 0..clusterCount
  uint32_t tableInterleave = 4;     // k; 0 = copy 2 starts where copy 1 does: only copy 1 is written, contiguously
  uint32_t tableStart = 0;          // 0 = right after the header
  uint32_t directorySize = 0;       // 0 = just enough for the entries (at least 1 sector)
  uint32_t directoryInterleave = 2; // 0 allowed, as for the table
  uint32_t directoryStart = 0;      // 0 = right after the table
  uint32_t dataStart = 0;           // 0 = right after the directory
  uint32_t headerSector = 0;        // 0 = sector 64
  int partitionIndex = 0;           // 0..11: slot of "HDD1_AV1" in the sector-2 table; -1: no such slot
  bool endMarker = true;            // 0xFFFF entry right after the last used slot (when there is room)
  // Explicit contents of the slots other than partitionIndex, filled in slot
  // order. Empty: slots before partitionIndex get "HDD0_AVn" names. Non-empty:
  // slots before partitionIndex that it does not reach stay all zero.
  std::vector<PartitionSlot> otherSlots;
  std::vector<Entry> entries;       // the directory, in order

  // Damage and oddities. All of these are written before any word swap.
  std::string magic;                // non-empty: these 4 bytes at 504 instead of the order's magic
  bool signatureSwapped = false;    // 0x55 0xAA instead of 0xAA 0x55
  std::string headerName = "HDD1_AV1";  // at most 16 bytes
  uint32_t bytesPerSector = 512, tableCopies = 2, directoryCopies = 2;  // header fields only
  std::vector<std::pair<uint32_t, uint32_t>> tableOverrides; // after allocation, table entry c := v
  uint64_t truncateAt = 0;          // non-zero: cut (or extend) the image file to this many bytes
  uint64_t minimumSize = 0;         // extend the (sparse) image to at least this size
};

struct Layout {                     // where the builder put everything (absolute sectors)
  uint32_t headerSector = 0, tableStart = 0, tableInterleave = 0, tableSize = 0;
  uint32_t directoryStart = 0, directoryInterleave = 0, directorySize = 0;
  uint32_t dataStart = 0, sectorsPerCluster = 0, clusterCount = 0, usableClusterBytes = 0;
  uint64_t imageSize = 0;           // bytes, before truncateAt
  std::vector<std::vector<uint32_t>> chains;  // per directory entry
  uint64_t ClusterByte(uint32_t cluster) const; // device byte position of cluster's first byte
  // Absolute sector of table (directory) sector s in copy 1 or 2.
  uint64_t TableSector(uint32_t s, int copy) const;
  uint64_t DirectorySector(uint32_t s, int copy) const;
};

// Checks the description and works out the layout and the chains.
bool PlanDisk(const Disk& disk, Layout* layout, std::string* error);
// Plans, then writes the image to path (replacing it). layout may be null.
bool WriteImage(const Disk& disk, const std::string& path, Layout* layout,
                std::string* error);

// The logical stream of entry i as the reader must deliver it: the usable
// bytes of each cluster of layout.chains[i], in order. Ignores overrideFirst
// and tableOverrides, which make the reader follow another chain.
std::vector<uint8_t> ExpectedStream(const Disk& disk, const Layout& layout, size_t entry);

// A recording of clusters clusters: pattern bytes from seed, or zeros
// (nothing written) with seed 0.
Entry PatternRecording(const std::string& name, uint32_t clusters, uint32_t seed = 0,
                       bool fragmented = false);

// Deterministic pseudo-random bytes; any piece can be produced on its own.
Content PatternContent(uint32_t seed);
// The bytes, then zeros.
Content BytesContent(std::vector<uint8_t> bytes);
// The recorder's block form: 131072-byte blocks of 129344 stream bytes and
// 1728 filler bytes (0xFF); the last block holds what is left, unpadded.
std::vector<uint8_t> ToBlockForm(const std::vector<uint8_t>& stream);

const uint32_t kBlockBytes = 131072;
const uint32_t kBlockStreamBytes = 129344;

}  // namespace testdisk

#endif  // MELVIR_TOOLS_TESTDISK_H
