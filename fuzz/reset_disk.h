// The recorder disk record closed and put back as at start-up, between the
// runs of a fuzz target that reads a disk.
#ifndef MELVIR_FUZZ_RESET_DISK_H
#define MELVIR_FUZZ_RESET_DISK_H

void ResetDisk();

#endif
