// Recordings the command-line tests share.
#ifndef MELVIR_TESTS_CLI_RECORDINGS_H
#define MELVIR_TESTS_CLI_RECORDINGS_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "testdisk.h"

// A block-form recording of `blocks` blocks whose stream is a sync byte every
// 188 and pattern bytes between, produced piece by piece (no image in memory).
testdisk::Entry BigBlockForm(const std::string& name, uint32_t blocks, uint32_t clusterBytes);

// A mapfile of an image of imageBytes bytes with the sectors bad unreadable,
// written by hand in ddrescue's form: every other sector finished. status:
// '-' for sectors the disk failed on, '?' for sectors not yet imaged.
void WriteMap(const std::string& path, uint64_t imageBytes, std::vector<uint64_t> bad,
              char status = '-');

// The unreadable runs of a --report line: [[offset, length], ...].
std::vector<std::pair<uint64_t, uint64_t>> ReportedRuns(const std::string& line);

#endif
