// The output files of an extraction on Windows: regular files unbuffered
// (FILE_FLAG_NO_BUFFERING), streams plain.
#include "files/output_file.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "platform/wide_path.h"

namespace {
HANDLE H(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

bool Fail(u32* error) {
  *error = GetLastError();
  return false;
}
}  // namespace

TargetKind KindOfTarget(const char* path) {
  WidePath wide(path);
  DWORD a = GetFileAttributesW(wide.text);
  if (a == INVALID_FILE_ATTRIBUTES) {
    // NUL and the other DOS device names have no attributes.
    return _stricmp(path, "nul") == 0 ? kTargetStream : kTargetMissing;
  }
  return (a & FILE_ATTRIBUTE_DIRECTORY) ? kTargetFolder : kTargetFile;
}

namespace {

// The volume's logical sector size: the unit of unbuffered writes.
u32 SectorOf(HANDLE h) {
  FILE_STORAGE_INFO info;
  if (GetFileInformationByHandleEx(h, FileStorageInfo, &info, sizeof info) &&
      info.LogicalBytesPerSector != 0)
    return info.LogicalBytesPerSector;
  return 4096;
}

// Opens the output again (a handle's buffering cannot be changed), as
// OpenOutputFile checked it; the gap between the two is this run's own, a
// second run's open in it fails the reopen as in use.
bool Reopen(OutputFile* out, bool unbuffered, u32* error) {
  CloseHandle(H(out->handle));
  FileHandle h;
  u32 how = kWriteSide | kWriteExisting | kWriteReadToo | (unbuffered ? kWriteUnbuffered : 0);
  WriteVerdict verdict = OpenForWriting(out->path, how, &h, error);
  out->handle = verdict == kWriteAllowed ? h : reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE);
  out->direct = unbuffered && verdict == kWriteAllowed;
  out->align = 1;
  if (verdict != kWriteAllowed && verdict != kWriteFailed) *error = ERROR_SHARING_VIOLATION;
  return verdict == kWriteAllowed;
}

// Goes on with ordinary writes for the rest of the file.
bool MakeBuffered(OutputFile* out) {
  u32 error;
  return Reopen(out, false, &error);
}

}  // namespace

bool OpenStandardOutput(OutputFile* out) {
  HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
  *out = OutputFile{reinterpret_cast<std::intptr_t>(h), true, false, false, 1, "-", 0};
  return h != INVALID_HANDLE_VALUE && h != nullptr;
}

bool StandardOutputIsTerminal() {
  DWORD mode;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

bool OpenStreamOutput(const char* path, OutputFile* out, u32* error) {
  WidePath wide(path);
  HANDLE h = CreateFileW(wide.text, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Fail(error);
  *out = OutputFile{reinterpret_cast<std::intptr_t>(h), true, true, false, 1, path, 0};
  return true;
}

bool SizeOfOutput(const OutputFile& out, u64* size) {
  LARGE_INTEGER n;
  if (!GetFileSizeEx(H(out.handle), &n)) return false;
  *size = u64(n.QuadPart);
  return true;
}

bool ReadOutputAt(OutputFile* out, u64 offset, void* buffer, u32 length, u32* error) {
  u8* p = static_cast<u8*>(buffer);
  while (length > 0) {
    OVERLAPPED at = {};
    at.Offset = DWORD(offset);
    at.OffsetHigh = DWORD(offset >> 32);
    DWORD n = 0;
    if (!ReadFile(H(out->handle), p, length, &n, &at)) return Fail(error);
    if (n == 0) {
      *error = ERROR_HANDLE_EOF;
      return false;
    }
    p += n;
    offset += n;
    length -= n;
  }
  return true;
}

bool StartOutputWrites(OutputFile* out, u64 offset, u32* error) {
  if (!CutOutputFile(out, offset, error)) return false;
  if (!Reopen(out, true, error) && !(*error == ERROR_INVALID_PARAMETER && Reopen(out, false, error)))
    return false;
  if (!out->direct) return true;
  u32 align = SectorOf(H(out->handle));
  if (align > kMaxDirectAlign) return MakeBuffered(out) || Fail(error);
  out->align = align;
  return true;
}

bool WriteOutputAt(OutputFile* out, const void* data, u32 length, u64 offset, u32* written,
                   u32* error) {
  const u8* p = static_cast<const u8*>(data);
  *written = 0;
  while (length > 0) {
    DWORD n = 0;
    OVERLAPPED at = {};
    at.Offset = DWORD(offset);
    at.OffsetHigh = DWORD(offset >> 32);
    if (!WriteFile(H(out->handle), p, length, &n, out->stream ? nullptr : &at)) {
      if (GetLastError() == ERROR_INVALID_PARAMETER && out->direct) {
        if (!MakeBuffered(out)) return Fail(error);
        continue;  // the volume refused this unbuffered write
      }
      return Fail(error);
    }
    if (n == 0) {
      *error = ERROR_WRITE_FAULT;
      return false;
    }
    p += n;
    offset += n;
    length -= n;
    *written += n;
  }
  return true;
}

bool IsReaderGone(u32 error) { return error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE; }

bool CutOutputFile(OutputFile* out, u64 length, u32* error) {
  FILE_END_OF_FILE_INFO end;
  end.EndOfFile.QuadPart = LONGLONG(length);
  if (SetFileInformationByHandle(H(out->handle), FileEndOfFileInfo, &end, sizeof end)) return true;
  return Fail(error);
}

bool SyncOutputFile(OutputFile* out, u32* error) {
  return out->stream || FlushFileBuffers(H(out->handle)) || Fail(error);
}

bool CloseOutputFile(OutputFile* out, bool sync, u32* error) {
  bool ok = !sync || SyncOutputFile(out, error);
  if (out->owned && !CloseHandle(H(out->handle)) && ok) ok = Fail(error);
  out->owned = false;
  return ok;
}

bool ReadFileAt(const char* path, u64 offset, void* buffer, u32 length, u32* error) {
  WidePath wide(path);
  HANDLE h = CreateFileW(wide.text, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Fail(error);
  LARGE_INTEGER to;
  to.QuadPart = LONGLONG(offset);
  DWORD n = 0;
  bool ok = SetFilePointerEx(h, to, nullptr, FILE_BEGIN) && ReadFile(h, buffer, length, &n, nullptr);
  if (!ok) Fail(error);
  else if (n != length) *error = ERROR_HANDLE_EOF;
  CloseHandle(h);
  return ok && n == length;
}

bool IsNameTaken(u32 error) { return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS; }

bool RenameOutput(OutputFile* out, const char* to, bool replace, u32* error) {
  // Through the handle: this run opened it without FILE_SHARE_DELETE, so a
  // rename by name would fail, and the file stays held under its new name.
  // The new name whole, as WidePath makes it.
  WidePath full(to);
  DWORD n = DWORD(std::wcslen(full.text));
  if (n == 0) return Fail(error);
  static u8 buffer[sizeof(FILE_RENAME_INFO) + sizeof full.text];
  FILE_RENAME_INFO* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer);
  std::memset(buffer, 0, sizeof buffer);
  info->ReplaceIfExists = replace;
  info->RootDirectory = nullptr;
  info->FileNameLength = n * sizeof(wchar_t);
  std::memcpy(info->FileName, full.text, (n + 1) * sizeof(wchar_t));
  if (!SetFileInformationByHandle(H(out->handle), FileRenameInfo, info, sizeof buffer))
    return Fail(error);
  out->path = to;
  return SyncOutputFile(out, error);
}

bool RemoveOutput(OutputFile* out, u32* error) {
  FILE_DISPOSITION_INFO gone;
  gone.DeleteFile = TRUE;
  bool ok = SetFileInformationByHandle(H(out->handle), FileDispositionInfo, &gone, sizeof gone) ||
            Fail(error);
  u32 ignored;
  CloseOutputFile(out, false, &ignored);
  return ok;
}

bool RenameSideFile(const char* from, const char* to, u32* error) {
  if (CheckWritePath(from, true) != kWriteAllowed) {
    *error = ERROR_ACCESS_DENIED;
    return false;
  }
  WidePath a(from), b(to);
  return MoveFileExW(a.text, b.text, MOVEFILE_WRITE_THROUGH) || Fail(error);
}

bool NameExists(const char* path) {
  WidePath wide(path);
  return GetFileAttributesW(wide.text) != INVALID_FILE_ATTRIBUTES;
}

bool SizeOfFile(const char* path, u64* size) {
  WidePath wide(path);
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(wide.text, GetFileExInfoStandard, &data)) return false;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  *size = (u64(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

bool MakeFolders(const char* path, u32* error) {
  char partial[1024];
  u32 n = u32(std::strlen(path));
  if (n >= sizeof partial) {
    *error = ERROR_FILENAME_EXCED_RANGE;
    return false;
  }
  for (u32 i = 1; i <= n; ++i) {
    if (i < n && path[i] != '/' && path[i] != '\\') continue;
    std::memcpy(partial, path, i);
    partial[i] = 0;
    if (i == 2 && partial[1] == ':') continue;  // "D:"
    TargetKind kind = KindOfTarget(partial);
    if (kind == kTargetFolder) continue;
    if (kind != kTargetMissing) {
      *error = ERROR_DIRECTORY;
      return false;
    }
    WidePath wide(partial);
    if (!CreateDirectoryW(wide.text, nullptr) && KindOfTarget(partial) != kTargetFolder)
      return Fail(error);
  }
  return true;
}

