#include "platform/drive_table.h"

#include "platform/platform.h"

namespace {
const char* const* g_drivePaths = nullptr;
u32 g_driveCount = 0;
thread_local u32 t_lastError = 0;
}  // namespace

bool NoteSystemError(u32 code) {
  t_lastError = code;
  return false;
}

u32 LastSystemError() { return t_lastError; }
void ClearSystemError() { t_lastError = 0; }

void SetDriveTable(const char* const* paths, u32 count) {
  g_drivePaths = count ? paths : nullptr;
  g_driveCount = count;
}

bool TabledDrivePath(u32 number, const char** path) {
  if (!g_drivePaths) return false;
  *path = number < g_driveCount ? g_drivePaths[number] : nullptr;
  return true;
}
