// --subtitles srt for a copy to .ts: the recording's subtitle pages read
// from the stream bytes the copy hands on, in the same pass, and written
// as .srt files beside the .ts once it is complete (cli/srt_files.h),
// their times from the .ts's start (the earliest first PTS of its audio
// and video, as ffprobe gives it).
#ifndef MELVIR_CLI_COPY_SUBTITLES_H
#define MELVIR_CLI_COPY_SUBTITLES_H

#include "cli/copy.h"
#include "files/output_file.h"

// Learns the recording's subtitle pages from a quiet probe; false when it
// has none (said unless quiet): nothing more to do.
bool StartSubtitleCopy(const Recording& recording, const CopyTarget& target);
// The first length bytes of the stream, kept in a resumed .part: read back
// through out. False, said, when they cannot be (no .srt then).
bool KeptSubtitleBytes(OutputFile* out, u64 length, const char* part);
// The next stream bytes, in order.
void SubtitleBytes(const u8* data, u32 length);
// The copy is complete as published: its .srt files. False, said, when
// one cannot be written.
bool EndSubtitleCopy(const char* published, const CopyTarget& target);

#endif
