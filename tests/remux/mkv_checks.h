// What the tests of extract --container mkv share: recordings for the test
// disk, JSON from a tool (ffprobe, mkvmerge) and its members, and the
// ffmpeg options of an MPEG-2 programme.
#ifndef MELVIR_TESTS_REMUX_MKV_CHECKS_H
#define MELVIR_TESTS_REMUX_MKV_CHECKS_H

#include <string>
#include <vector>

#include "../cli/json_check.h"
#include "testdisk.h"

// A recording of the test disk holding bytes, in block form or plain.
testdisk::Entry Recording(const std::string& name, std::vector<uint8_t> bytes, bool blockForm);

// v's member key, or a null value.
const JsonValue& Member(const JsonValue& v, const std::string& key);

// Runs argv; true when it exits 0 with JSON on its output, parsed into *v.
bool Json(const std::vector<std::string>& argv, JsonValue* v);

// mkvmerge (Debian mkvtoolnix) is on the PATH.
bool HaveMkvmerge();

// MPEG-2 (a GOP of 12 frames at 25 fps) and MPEG audio, seconds long, its
// stamps offset by offset seconds.
std::string Mpeg2(int seconds, const std::string& rate, int offset);

#endif
