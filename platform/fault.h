// Fault injection for tests: every platform call is counted, and one chosen
// call can be made to fail, or (reads and writes) to come back short.
// Disarmed, the cost is one atomic increment per call.
#ifndef MELVIR_PLATFORM_FAULT_H
#define MELVIR_PLATFORM_FAULT_H

#include "platform/types.h"

enum PlatformCall {
  kCallOpenDrive,
  kCallSeek,
  kCallRead,
  kCallClose,
  kCallCreateLog,
  kCallWrite,
  kCallCreateOutput,
  kCallCreateEvent,
  kCallStartThread,
  kCallKinds
};

enum FaultMode { kFaultFail, kFaultShort };

// Arms one fault: the occurrence-th call (0-based) of kind fails in mode.
void ArmFault(PlatformCall kind, u32 occurrence, FaultMode mode);
// Disarms the fault and the forced sector size below.
void DisarmFault();

// Makes every output file lie on a volume of sectors of bytes (0: the real
// volume's): CreateOutputFile sees that size, and an unbuffered write whose
// length is not whole sectors of it is refused, as Windows refuses it.
void ForceOutputSectorSize(u32 bytes);
u32 ForcedOutputSectorSize();
// For the OS calls: an unbuffered write of length must be refused.
bool RefusesUnbufferedLength(u32 length);

// Calls of kind made since the last ResetFaultCounts.
u32 FaultCallCount(PlatformCall kind);
void ResetFaultCounts();

// For the portable layer: counts the call and tells whether it must fail.
bool FaultHit(PlatformCall kind, FaultMode* mode);
// For reads and writes: the length to transfer, half of it under a short
// fault; *fail set when the call must fail outright.
u32 FaultLength(PlatformCall kind, u32 length, bool* fail);

#endif
