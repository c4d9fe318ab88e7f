// The string table and error reporting through the user-interface port.
#include "app/messages.h"

#include <atomic>
#include <cstring>

#include "app/ui_port.h"

namespace {

struct StringEntry {
  u32 id;
  const char* text;
  u32 length;  // counted, so the filter list keeps its embedded NULs
};

#define ENTRY(id, text) {id, text, sizeof(text) - 1}
const StringEntry kStrings[] = {
    ENTRY(IDS_WRITE_ERROR, TEXT_WRITE_ERROR),   ENTRY(IDS_SCAN_ERROR, TEXT_SCAN_ERROR),
    ENTRY(IDS_INPUT_ERROR, TEXT_INPUT_ERROR),   ENTRY(IDS_CREATE_ERROR, TEXT_CREATE_ERROR),
    ENTRY(IDS_CLOSE_ERROR, TEXT_CLOSE_ERROR),   ENTRY(IDS_SYNTAX_ERROR, TEXT_SYNTAX_ERROR),
    ENTRY(IDS_NO_DRIVE, TEXT_NO_DRIVE),         ENTRY(IDS_NO_BUFFER, TEXT_NO_BUFFER),
    ENTRY(IDS_STOP_QUERY, TEXT_STOP_QUERY),     ENTRY(IDS_EXTRACTING, TEXT_EXTRACTING),
    ENTRY(IDS_DONE, TEXT_DONE),                 ENTRY(IDS_SAVE_TITLE, TEXT_SAVE_TITLE),
    ENTRY(IDS_SAVE_FILTER, TEXT_SAVE_FILTER),
};
#undef ENTRY

void Ignore(const char*) {}
void Nothing() {}
void IgnoreProgress(u32) {}
// In force until a front end sets its own, so no thread meets a null port.
const UiPort kSilentPort = {Ignore, Ignore, Nothing, Ignore, Ignore,
                            IgnoreProgress, Nothing, Nothing, Nothing, nullptr};
std::atomic<const UiPort*> g_port{&kSilentPort};
std::atomic<TextSource> g_textSource{nullptr};

}  // namespace

void SetUiPort(const UiPort* port) { g_port.store(port ? port : &kSilentPort); }

const UiPort* CurrentUiPort() { return g_port.load(); }

const UiPort& SilentUiPort() { return kSilentPort; }

void SetTextSource(TextSource source) { g_textSource.store(source); }

u32 LoadText(u32 id, char* buffer, u32 size) {
  if (TextSource source = g_textSource.load()) return source(id, buffer, size);
  if (size == 0) return 0;
  buffer[0] = 0;
  for (const StringEntry& s : kStrings) {
    if (s.id != id) continue;
    u32 n = s.length < size - 1 ? s.length : size - 1;
    std::memcpy(buffer, s.text, n);
    buffer[n] = 0;
    return n;
  }
  return 0;
}

void ShowError(u32 id) {
  char text[100];
  LoadText(id, text, sizeof text);
  CurrentUiPort()->showError(text);
}
