// What the Matroska tests share: recordings on a test disk, the JSON that
// mkvmerge -J and ffprobe print, whether mkvmerge is there, and the ffmpeg
// options of an MPEG-2 programme.
#ifndef MELVIR_TESTS_REMUX_MKV_CHECKS_H
#define MELVIR_TESTS_REMUX_MKV_CHECKS_H

#include <string>
#include <vector>

#include "../cli/json_check.h"
#include "testdisk.h"

// A directory entry holding bytes (in the recorder's block form with blockForm).
testdisk::Entry Recording(const std::string& name, std::vector<uint8_t> bytes, bool blockForm);

// The member key of an object; a null value when there is none.
const JsonValue& Member(const JsonValue& v, const std::string& key);

// Runs argv; true when it exits 0 and prints one JSON value into *v.
bool Json(const std::vector<std::string>& argv, JsonValue* v);

bool HaveMkvmerge();

// MPEG-2 (a GOP of 12 frames at 25 fps) and MPEG audio, seconds long, its
// stamps offset by offset seconds.
std::string Mpeg2(int seconds, const std::string& rate, int offset);

#endif
