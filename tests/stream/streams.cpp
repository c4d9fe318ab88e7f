#include "streams.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

bool RunShell(const std::string& command) { return std::system(command.c_str()) == 0; }

bool HaveFfmpeg() {
  static int have = -1;
  if (have < 0) have = RunShell("ffmpeg -version >/dev/null 2>&1") ? 1 : 0;
  return have == 1;
}

namespace {

// Removed with everything in it when the test program ends.
struct Folder {
  std::string path;
  ~Folder() {
    if (!path.empty()) RunShell("rm -rf '" + path + "'");
  }
};

}  // namespace

const std::string& StreamFolder() {
  static Folder folder;
  if (folder.path.empty()) {
    char pattern[] = "/tmp/melvir-streams-XXXXXX";
    if (mkdtemp(pattern)) folder.path = pattern;
  }
  return folder.path;
}

std::string MakeStream(const std::string& name, const std::string& ffmpegOptions,
                       const std::string& siOptions) {
  std::string raw = StreamFolder() + "/" + name + ".raw.ts", out = StreamFolder() + "/" + name + ".ts";
  if (!RunShell("ffmpeg -v error -nostdin -y " + ffmpegOptions + " -f mpegts '" + raw + "'"))
    return "";
  if (siOptions.empty()) return RunShell("mv '" + raw + "' '" + out + "'") ? out : "";
  return RunShell(std::string(MELVIR_TS_SI) + " '" + raw + "' '" + out + "' " + siOptions) ? out : "";
}

std::string Mpeg2TwoLanguages(int seconds) {
  std::string t = std::to_string(seconds);
  return "-f lavfi -i testsrc=size=176x144:rate=25 -f lavfi -i sine=frequency=440 "
         "-f lavfi -i sine=frequency=660 -t " + t + " -map 0 -map 1 -map 2 -c:v mpeg2video "
         "-b:v 200k -c:a mp2 -b:a 64k -metadata:s:a:0 language=fra -metadata:s:a:1 language=eng "
         "-metadata service_name='France 2' -metadata service_provider=FTV";
}

std::string H264Aac(int seconds) {
  std::string t = std::to_string(seconds);
  return "-f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i sine=frequency=440 -t " + t +
         " -c:v libx264 -preset ultrafast -b:v 100k -c:a aac -b:a 32k "
         "-metadata service_name=Arte -metadata service_provider=ARTE";
}

std::vector<unsigned char> ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

double FirstPcrSeconds(const std::vector<unsigned char>& ts) {
  for (size_t at = 0; at + 188 <= ts.size(); at += 188) {
    const unsigned char* p = &ts[at];
    if (p[0] != 0x47 || !(p[3] & 0x20) || p[4] < 7 || !(p[5] & 0x10)) continue;
    uint64_t base = uint64_t(p[6]) << 25 | uint64_t(p[7]) << 17 | uint64_t(p[8]) << 9 | uint64_t(p[9]) << 1 | p[10] >> 7;
    return double(base) / 90000;
  }
  return -1;
}
