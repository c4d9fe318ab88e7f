// The drive table and the drives' sources and maps.
#include "platform/drive_table.h"

#include "platform/platform.h"

namespace {
// At most one of the two is set.
const char* const* g_drivePaths = nullptr;
const DriveSource* g_driveSources = nullptr;
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
  g_driveSources = nullptr;
  g_driveCount = count;
}

void SetDriveSources(const DriveSource* sources, u32 count) {
  g_driveSources = count ? sources : nullptr;
  g_drivePaths = nullptr;
  g_driveCount = count;
}

bool TabledDrivePath(u32 number, const char** path) {
  if (!g_drivePaths && !g_driveSources) return false;
  *path = nullptr;
  if (number < g_driveCount)
    *path = g_drivePaths ? g_drivePaths[number]
                         : g_driveSources[number].memory ? nullptr : g_driveSources[number].path;
  return true;
}

bool TabledMemoryDrive(u32 number, MemoryDrive** drive) {
  if (!g_driveSources || number >= g_driveCount || !g_driveSources[number].memory) return false;
  *drive = g_driveSources[number].memory;
  return true;
}
