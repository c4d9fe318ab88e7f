#include "recordings.h"

#include <algorithm>
#include <cstdio>

#include "support.h"

testdisk::Entry BigBlockForm(const std::string& name, uint32_t blocks, uint32_t clusterBytes) {
  testdisk::Entry e;
  e.name = name;
  e.clusters = uint32_t((uint64_t(blocks) * 131072 + clusterBytes - 1) / clusterBytes);
  testdisk::Content pattern = testdisk::PatternContent(7);
  e.content = [pattern](uint64_t offset, uint8_t* out, size_t n) {
    for (size_t i = 0; i < n;) {
      uint64_t at = offset + i, block = at / 131072, in = at % 131072;
      size_t run = size_t(std::min<uint64_t>(n - i, (in < 129344 ? 129344 : 131072) - in));
      if (in >= 129344) {
        std::fill(out + i, out + i + run, 0xFF);
      } else {
        uint64_t stream = block * 129344 + in;
        pattern(stream, out + i, run);
        for (size_t k = 0; k < run; ++k)
          if ((stream + k) % 188 == 0) out[i + k] = 0x47;
      }
      i += run;
    }
  };
  return e;
}

// A mapfile of an image with the given sectors unreadable, written by hand
// in ddrescue's form: every other sector finished.
void WriteMap(const std::string& path, uint64_t imageBytes, std::vector<uint64_t> bad,
              char status) {
  std::string text = "# a mapfile\n0x00000000     +               1\n";
  std::sort(bad.begin(), bad.end());
  uint64_t at = 0;
  char line[96];
  for (uint64_t s : bad) {
    if (s * 512 > at) {
      std::snprintf(line, sizeof line, "0x%llX 0x%llX +\n", (unsigned long long)at,
                    (unsigned long long)(s * 512 - at));
      text += line;
    }
    std::snprintf(line, sizeof line, "0x%llX 0x200 %c\n", (unsigned long long)(s * 512), status);
    text += line;
    at = s * 512 + 512;
  }
  std::snprintf(line, sizeof line, "0x%llX 0x%llX +\n", (unsigned long long)at,
                (unsigned long long)(imageBytes - at));
  text += line;
  WriteWholeFile(path, text);
}

std::vector<std::pair<uint64_t, uint64_t>> ReportedRuns(const std::string& line) {
  std::vector<std::pair<uint64_t, uint64_t>> runs;
  size_t at = line.find("\"unreadable\": [");
  for (at = line.find('[', at + 15); at != std::string::npos && line[at] == '[';) {
    unsigned long long offset = 0, length = 0;
    std::sscanf(line.c_str() + at, "[%llu, %llu]", &offset, &length);
    runs.push_back({offset, length});
    at = line.find(']', at) + 1;
    if (line[at] == ',') at += 2;
  }
  return runs;
}
