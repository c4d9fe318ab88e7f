// Test streams made at test time: ffmpeg's audio and video, with the
// broadcast's tables added by melvir-ts-si.
#ifndef MELVIR_TESTS_STREAM_STREAMS_H
#define MELVIR_TESTS_STREAM_STREAMS_H

#include <string>
#include <vector>

// Runs a shell command line; true when it exits 0.
bool RunShell(const std::string& command);

// ffmpeg is on the PATH.
bool HaveFfmpeg();

// The folder the streams are made in (made once per test program).
const std::string& StreamFolder();

// Makes NAME.ts in the folder with ffmpeg (its input and codec options
// given) and melvir-ts-si (its options given; none: ffmpeg's stream as it
// is); the path, or "" when a tool failed.
std::string MakeStream(const std::string& name, const std::string& ffmpegOptions,
                       const std::string& siOptions);

// The ffmpeg options of the two kinds of programme, seconds long.
std::string Mpeg2TwoLanguages(int seconds);
std::string H264Aac(int seconds);

std::vector<unsigned char> ReadWhole(const std::string& path);

// The first PCR of a transport stream in seconds (its 33-bit base), where
// melvir-ts-si's stream times count from; -1 when there is none.
double FirstPcrSeconds(const std::vector<unsigned char>& ts);

#endif
