// A recording read once, in order, for a copy that is not a copy of its
// bytes (a Matroska file, a .ts cut to its programme): block by block, each
// block's damage noted as the copy to .ts notes it, written through a plain
// descriptor at the offsets the writer gives.
#include <cstring>

#include "app/messages.h"
#include "cli/cli_port.h"
#include "cli/copy_run.h"
#include "cli/os.h"
#include "cli/progress.h"
#include "files/output_file.h"

namespace {

const u32 kMiB = 1048576;

}  // namespace

bool ReadInOrder(void* context, u64, u8* buffer, u32 count, u32* got) {
  InOrderRead* m = static_cast<InOrderRead*>(context);
  CopyRun& run = *m->run;
  *got = 0;
  while (*got < count) {
    if (m->used == m->have) {
      if (m->ended) break;
      if (Interrupted()) {
        m->stopped = true;
        return false;
      }
      u32 n;
      if (!run.reader->read(kBlockBytes, &n)) {
        m->failed = true;
        return false;
      }
      if (n == 0) {
        m->ended = true;
        break;
      }
      u32 kept = BlockStreamBytes(run.plan, m->block, n);
      if (run.target->rescue) NoteBlockDamage(&run, m->block, m->bytesRead, kept);
      run.handed += kept;
      run.blocks = ++m->block;
      m->bytesRead += n;
      m->have = kept;
      m->used = 0;
      u32 mib = u32(m->bytesRead / kMiB), listed = run.recording->entry.sizeMiB;
      ProgressPercent(listed ? u32(u64(mib) * 100 / listed) : 0);
      ProgressMiB(mib);
    }
    u32 take = count - *got < m->have - m->used ? count - *got : m->have - m->used;
    std::memcpy(buffer + *got, g_block + m->used, take);
    m->used += take;
    *got += take;
  }
  return true;
}

bool UnreadableInRun(void* context, u64 from, u64 to) {
  const std::vector<OutputRun>& runs = static_cast<CopyRun*>(context)->record.unreadable;
  size_t low = 0, high = runs.size();
  while (low < high) {  // the first run that ends after from
    size_t mid = (low + high) / 2;
    if (runs[mid].offset + runs[mid].length <= from) low = mid + 1;
    else high = mid;
  }
  return low < runs.size() && runs[low].offset < to;
}

bool WritePartAt(void* context, u64 offset, const u8* data, u32 length, u32* error) {
  u32 written;
  return WriteOutputAt(static_cast<OutputFile*>(context), data, length, offset, &written, error);
}

void LetGoOfOutput(CopyRun* run, u64 bytes) {
  if (!run->held) return;
  run->held = false;
  u32 error;
  if (bytes == 0) RemoveOutput(&run->out, &error);
  else CloseOutputFile(&run->out, false, &error);
}

bool SyncAndPublish(CopyRun* run, u64 bytes) {
  u32 error;
  if (!SyncOutputFile(&run->out, &error)) {
    run->kept = bytes;
    SaySystemFailure(*run, IDS_CLOSE_ERROR, error);
    LetGoOfOutput(run, bytes);
    return false;
  }
  return PublishPart(run);  // said when it fails; the .part keeps the file
}
