// melvir-ts-si's DVB subtitles: a subtitle stream on PID kDvbSubPid, named in
// the PMT with a subtitling descriptor, carrying a display set (a page of no
// regions: what clears the screen) at a given interval of stream time. The
// bitmaps themselves do not matter to what copies them as they are.
#ifndef MELVIR_TOOLS_TS_DVBSUB_H
#define MELVIR_TOOLS_TS_DVBSUB_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace dvbsub {

const uint16_t kDvbSubPid = 0x0510;

struct DvbSubSetup {
  std::string language;  // empty: no stream
  double every = 1;      // seconds between display sets
  double next = 0;
  uint8_t cc = 0, version = 0;
};

// The fields of --dvbsub LANG|SECONDS; false for a malformed value.
bool Describe(DvbSubSetup* setup, const std::vector<std::string>& fields);
// The PMT's entry of the stream: its type, PID and descriptor.
std::vector<uint8_t> PmtEntry(const DvbSubSetup& setup);
// Writes the display sets due by elapsed seconds of stream time.
void WriteDue(DvbSubSetup* setup, std::FILE* out, uint64_t firstPcrBase, double elapsed);

}  // namespace dvbsub

#endif
