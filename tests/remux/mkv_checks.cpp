#include "mkv_checks.h"

#include "../cli/child.h"
#include "../stream/streams.h"

testdisk::Entry Recording(const std::string& name, std::vector<uint8_t> bytes, bool blockForm) {
  testdisk::Entry e;
  e.name = name;
  if (blockForm) bytes = testdisk::ToBlockForm(bytes);
  e.clusters = uint32_t((bytes.size() + 32767) / 32768);
  e.content = testdisk::BytesContent(bytes);
  return e;
}

const JsonValue& Member(const JsonValue& v, const std::string& key) {
  static const JsonValue missing;
  auto found = v.members.find(key);
  return found == v.members.end() ? missing : found->second;
}

bool Json(const std::vector<std::string>& argv, JsonValue* v) {
  ChildResult r = RunProgram(argv);
  std::string error;
  return r.status == 0 && ParseJson(r.out, v, &error);
}

bool HaveMkvmerge() { return RunShell("mkvmerge --version >/dev/null 2>&1"); }

std::string Mpeg2(int seconds, const std::string& rate, int offset) {
  return "-f lavfi -i testsrc=size=352x288:rate=25 -f lavfi -i sine=frequency=440 -t " +
         std::to_string(seconds) + " -c:v mpeg2video -b:v " + rate + " -g 12 -c:a mp2 -b:a 64k" +
         (offset ? " -output_ts_offset " + std::to_string(offset) : "");
}
