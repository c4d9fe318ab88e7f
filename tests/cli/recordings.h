// Recordings the command-line tests share.
#ifndef MELVIR_TESTS_CLI_RECORDINGS_H
#define MELVIR_TESTS_CLI_RECORDINGS_H

#include <string>

#include "testdisk.h"

// A block-form recording of `blocks` blocks whose stream is a sync byte every
// 188 and pattern bytes between, produced piece by piece (no image in memory).
testdisk::Entry BigBlockForm(const std::string& name, uint32_t blocks, uint32_t clusterBytes);

#endif
