// melvir-mkdisk: writes a recorder disk image from a text description.
//
//   melvir-mkdisk DESCRIPTION IMAGE
//
// The description holds one setting per line; '#' starts a comment, blank
// lines are ignored. Words may be quoted ("two words"); inside quotes the
// escapes \" and \\ and \xHH stand for a quote, a backslash and any byte.
// Numbers are decimal or 0x hexadecimal; sizes in bytes may end in K, M, G
// or T (powers of 1024).
// Settings not given keep the builder's defaults (big-endian, 64 sectors per
// cluster, 1000 clusters, interleaves 4 and 2, everything placed
// automatically).
//
//   order big|little|swapped          field order; swapped = big-endian, every word byte-swapped
//   sectors-per-cluster N             cluster-count N
//   table-size N    table-interleave N    table-start N
//   directory-size N    directory-interleave N    directory-start N
//   data-start N    header-sector N
//   partition-index N                 slot of HDD1_AV1, 0..11 (-1: none)
//   end-marker yes|no                 0xFFFF slot after the last used one
//   partition NAME [first-sector=N] [end]   the next other slot of the table
//   magic TEXT    signature-swapped    header-name NAME
//   bytes-per-sector N    table-copies N    directory-copies N
//   table-override CLUSTER VALUE      table entry CLUSTER := VALUE after allocation
//   truncate-at SIZE    minimum-size SIZE
//   recording NAME [clusters=N|auto] [fragmented] [chain=A,B,...] [first=N]
//             [type=T] [file=PATH] [blockform] [pattern=SEED]
//
// A recording line adds the next directory entry. file= takes the content
// from PATH (relative to the description's folder); blockform turns it into
// the recorder's 131072-byte block form first; pattern= fills the recording
// with pseudo-random bytes. clusters=auto (the default with file=) allocates
// just enough clusters for the content. chain= gives the clusters explicitly,
// first= writes another first cluster into the directory, type=0 makes an
// empty slot.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "testdisk.h"

namespace {

const char kUsage[] =
    "usage: melvir-mkdisk DESCRIPTION IMAGE\n"
    "Writes a sparse recorder disk image described line by line:\n"
    "  order big|little|swapped          sectors-per-cluster N    cluster-count N\n"
    "  table-size N   table-interleave N   table-start N\n"
    "  directory-size N   directory-interleave N   directory-start N\n"
    "  data-start N   header-sector N   partition-index N (-1: none)\n"
    "  end-marker yes|no   partition NAME [first-sector=N] [end]\n"
    "  magic TEXT   signature-swapped   header-name NAME\n"
    "  bytes-per-sector N   table-copies N   directory-copies N\n"
    "  table-override CLUSTER VALUE   truncate-at SIZE   minimum-size SIZE\n"
    "  recording NAME [clusters=N|auto] [fragmented] [chain=A,B,...] [first=N]\n"
    "            [type=T] [file=PATH] [blockform] [pattern=SEED]\n"
    "'#' starts a comment; words may be quoted, with \\\" \\\\ \\xHH inside quotes.\n"
    "Numbers are decimal or 0x hex; sizes may end in K, M, G or T.\n"
    "file= paths are relative to the description's folder; clusters=auto (the\n"
    "default with file=) allocates just enough clusters for the content.\n";

struct Parser {
  std::string folder;               // of the description, for file= paths
  testdisk::Disk disk;
  std::vector<bool> autoClusters;   // per entry
  std::vector<uint64_t> contentBytes;  // per entry; 0 = no file
  std::string error;
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool Tokenize(const std::string& line, std::vector<std::string>* words, std::string* error) {
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') { ++i; continue; }
    if (line[i] == '#') break;
    std::string word;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
      if (line[i] != '"') { word += line[i++]; continue; }
      for (++i;; ++i) {
        if (i >= line.size()) { *error = "unterminated quote"; return false; }
        char c = line[i];
        if (c == '"') { ++i; break; }
        if (c != '\\') { word += c; continue; }
        if (++i >= line.size()) { *error = "unterminated quote"; return false; }
        if (line[i] != 'x') { word += line[i]; continue; }
        int hi = i + 1 < line.size() ? HexDigit(line[i + 1]) : -1;
        int lo = i + 2 < line.size() ? HexDigit(line[i + 2]) : -1;
        if (hi < 0 || lo < 0) { *error = "bad \\x escape"; return false; }
        word += char(hi * 16 + lo);
        i += 2;
      }
    }
    words->push_back(word);
  }
  return true;
}

// A number, optionally a size with a K/M/G/T suffix.
bool ParseNumber(const std::string& s, uint64_t max, bool size, uint64_t* out) {
  if (s.empty()) return false;
  std::string digits = s;
  uint64_t scale = 1;
  if (size) {
    const std::string units = "KMGT";
    size_t u = units.find(s.back());
    if (u != std::string::npos) {
      scale = uint64_t(1) << (10 * (u + 1));
      digits.pop_back();
    }
  }
  bool hex = digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
  size_t start = hex ? 2 : 0;
  if (start >= digits.size()) return false;
  uint64_t v = 0;
  for (size_t i = start; i < digits.size(); ++i) {
    int d = hex ? HexDigit(digits[i]) : (digits[i] >= '0' && digits[i] <= '9' ? digits[i] - '0' : -1);
    if (d < 0) return false;
    uint64_t base = hex ? 16 : 10;
    if (v > (max - uint64_t(d)) / base) return false;
    v = v * base + uint64_t(d);
  }
  if (v > max / scale) return false;
  *out = v * scale;
  return true;
}

bool U32(const std::string& s, uint32_t* out) {
  uint64_t v;
  if (!ParseNumber(s, 0xFFFFFFFFull, false, &v)) return false;
  *out = uint32_t(v);
  return true;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool ParseRecording(Parser* p, const std::vector<std::string>& w) {
  if (w.size() < 2) { p->error = "recording needs a name"; return false; }
  testdisk::Entry e;
  e.name = w[1];
  bool autoClusters = false, clustersGiven = false, blockForm = false;
  std::string file, pattern;
  for (size_t i = 2; i < w.size(); ++i) {
    size_t eq = w[i].find('=');
    std::string key = w[i].substr(0, eq);
    std::string value = eq == std::string::npos ? "" : w[i].substr(eq + 1);
    bool ok = true;
    if (key == "fragmented" && eq == std::string::npos) {
      e.fragmented = true;
    } else if (key == "blockform" && eq == std::string::npos) {
      blockForm = true;
    } else if (key == "clusters") {
      clustersGiven = true;
      autoClusters = value == "auto";
      ok = autoClusters || U32(value, &e.clusters);
    } else if (key == "type") {
      uint32_t t = 0;
      ok = U32(value, &t) && t <= 0xFFFF;
      e.type = uint16_t(t);
    } else if (key == "first") {
      e.overrideFirst = true;
      ok = U32(value, &e.firstCluster);
    } else if (key == "chain") {
      for (size_t pos = 0; ok && pos <= value.size();) {
        size_t comma = value.find(',', pos);
        if (comma == std::string::npos) comma = value.size();
        uint32_t c = 0;
        ok = U32(value.substr(pos, comma - pos), &c);
        e.chain.push_back(c);
        pos = comma + 1;
      }
    } else if (key == "file" && !value.empty()) {
      file = value[0] == '/' ? value : p->folder + value;
    } else if (key == "pattern") {
      uint32_t seed = 0;
      ok = U32(value, &seed);
      e.content = testdisk::PatternContent(seed);
      pattern = value;
    } else {
      ok = false;
    }
    if (!ok) { p->error = "bad recording option: " + w[i]; return false; }
  }
  if (!file.empty() && !pattern.empty()) { p->error = "file= and pattern= exclude each other"; return false; }
  if (blockForm && file.empty()) { p->error = "blockform needs file="; return false; }
  if (autoClusters && file.empty()) { p->error = "clusters=auto needs file="; return false; }
  uint64_t bytes = 0;
  if (!file.empty()) {
    std::vector<uint8_t> data;
    if (!ReadFile(file, &data)) { p->error = "cannot read " + file; return false; }
    if (blockForm) data = testdisk::ToBlockForm(data);
    bytes = data.size();
    e.content = testdisk::BytesContent(std::move(data));
    if (!clustersGiven) autoClusters = true;
  }
  p->disk.entries.push_back(std::move(e));
  p->autoClusters.push_back(autoClusters);
  p->contentBytes.push_back(bytes);
  return true;
}

bool ParseLine(Parser* p, const std::vector<std::string>& w) {
  testdisk::Disk& d = p->disk;
  const std::string& key = w[0];
  size_t n = w.size();
  if (key == "recording") return ParseRecording(p, w);
  if (key == "signature-swapped" && n == 1) { d.signatureSwapped = true; return true; }
  if (key == "table-override" && n == 3) {
    std::pair<uint32_t, uint32_t> o;
    if (U32(w[1], &o.first) && U32(w[2], &o.second)) { d.tableOverrides.push_back(o); return true; }
    return false;
  }
  if (key == "partition" && n >= 2) {
    testdisk::PartitionSlot s;
    s.name = w[1];
    for (size_t i = 2; i < n; ++i) {
      if (w[i] == "end") s.endMarker = true;
      else if (w[i].compare(0, 13, "first-sector=") != 0 || !U32(w[i].substr(13), &s.firstSector)) return false;
    }
    d.otherSlots.push_back(s);
    return true;
  }
  if (n != 2) return false;
  const std::string& v = w[1];
  if (key == "order") {
    if (v == "big") d.order = testdisk::kBigEndian;
    else if (v == "little") d.order = testdisk::kLittleEndian;
    else if (v == "swapped") d.order = testdisk::kWordSwapped;
    else return false;
    return true;
  }
  if (key == "end-marker") {
    if (v != "yes" && v != "no") return false;
    d.endMarker = v == "yes";
    return true;
  }
  if (key == "partition-index") {
    if (v == "-1") { d.partitionIndex = -1; return true; }
    uint32_t i = 0;
    if (!U32(v, &i) || i > 11) return false;
    d.partitionIndex = int(i);
    return true;
  }
  if (key == "magic") { d.magic = v; return true; }
  if (key == "header-name") { d.headerName = v; return true; }
  if (key == "truncate-at") return ParseNumber(v, ~uint64_t(0), true, &d.truncateAt);
  if (key == "minimum-size") return ParseNumber(v, ~uint64_t(0), true, &d.minimumSize);
  struct { const char* name; uint32_t* field; } fields[] = {
      {"sectors-per-cluster", &d.sectorsPerCluster}, {"cluster-count", &d.clusterCount},
      {"table-size", &d.tableSize}, {"table-interleave", &d.tableInterleave},
      {"table-start", &d.tableStart}, {"directory-size", &d.directorySize},
      {"directory-interleave", &d.directoryInterleave}, {"directory-start", &d.directoryStart},
      {"data-start", &d.dataStart}, {"header-sector", &d.headerSector},
      {"bytes-per-sector", &d.bytesPerSector}, {"table-copies", &d.tableCopies},
      {"directory-copies", &d.directoryCopies},
  };
  for (const auto& f : fields)
    if (key == f.name) return U32(v, f.field);
  return false;
}

bool ParseDescription(const std::string& path, Parser* p) {
  std::ifstream in(path);
  if (!in) { p->error = "cannot read " + path; return false; }
  size_t slash = path.rfind('/');
  p->folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    std::vector<std::string> words;
    std::string error;
    bool ok = Tokenize(line, &words, &error);
    if (ok && words.empty()) continue;
    if (ok && !ParseLine(p, words)) error = p->error.empty() ? "bad setting: " + words[0] : p->error;
    if (!error.empty()) {
      p->error = path + ":" + std::to_string(number) + ": " + error;
      return false;
    }
  }
  // clusters=auto depends on the cluster size, which may come after the line.
  uint32_t spc = p->disk.sectorsPerCluster;
  uint64_t usable = uint32_t((spc - spc / 256) * 512u);
  for (size_t i = 0; i < p->disk.entries.size(); ++i) {
    testdisk::Entry& e = p->disk.entries[i];
    if (p->autoClusters[i]) {
      if (usable == 0) { p->error = "clusters=auto needs a cluster size"; return false; }
      uint64_t clusters = (p->contentBytes[i] + usable - 1) / usable;
      if (clusters > 0xFFFFFFFFull) { p->error = "content too large"; return false; }
      e.clusters = uint32_t(clusters);
    }
    uint64_t room = e.chain.empty() ? e.clusters : e.chain.size();
    if (p->contentBytes[i] > room * usable)
      std::fprintf(stderr, "warning: entry %zu: content cut to %llu bytes\n", i,
                   static_cast<unsigned long long>(room * usable));
  }
  return true;
}

std::string Printable(const std::string& s) {
  std::string out;
  for (unsigned char c : s) out += c >= 0x20 && c <= 0x7E ? char(c) : '.';
  return out;
}

void PrintLayout(const testdisk::Disk& d, const testdisk::Layout& l) {
  const char* orders[] = {"big-endian (ParT)", "little-endian (TraP)", "word-swapped (aPTr)"};
  std::printf("byte order         %s\n", orders[d.order]);
  std::printf("volume header      sector %u\n", l.headerSector);
  std::printf("allocation table   start %u, interleave %u, size %u sectors\n", l.tableStart,
              l.tableInterleave, l.tableSize);
  std::printf("directory          start %u, interleave %u, size %u sectors\n", l.directoryStart,
              l.directoryInterleave, l.directorySize);
  std::printf("data start         %u\n", l.dataStart);
  std::printf("clusters           %u of %u sectors, %u usable bytes each\n", l.clusterCount,
              l.sectorsPerCluster, l.usableClusterBytes);
  std::printf("image size         %llu bytes\n",
              static_cast<unsigned long long>(d.truncateAt ? d.truncateAt : l.imageSize));
  for (size_t i = 0; i < d.entries.size(); ++i) {
    const testdisk::Entry& e = d.entries[i];
    const std::vector<uint32_t>& chain = l.chains[i];
    uint32_t first = e.overrideFirst ? e.firstCluster : chain.empty() ? 0 : chain[0];
    std::printf("entry %zu  \"%s\" type %u first %u, %zu clusters, %llu bytes\n", i,
                Printable(e.name).c_str(), unsigned(e.type), first, chain.size(),
                static_cast<unsigned long long>(uint64_t(chain.size()) * l.usableClusterBytes));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc != 3) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  Parser p;
  if (!ParseDescription(argv[1], &p)) {
    std::fprintf(stderr, "melvir-mkdisk: %s\n", p.error.c_str());
    return 1;
  }
  testdisk::Layout layout;
  std::string error;
  if (!testdisk::WriteImage(p.disk, argv[2], &layout, &error)) {
    std::fprintf(stderr, "melvir-mkdisk: %s\n", error.c_str());
    return 1;
  }
  PrintLayout(p.disk, layout);
  return 0;
}
