// The progress line on a terminal, drawn and erased.
#include "cli/progress.h"

#include <chrono>
#include <cstdio>
#include <cstring>

#include "cli/os.h"
#include "platform/platform.h"

namespace {

typedef std::chrono::steady_clock Clock;

struct Display {
  bool show;
  bool drawn;
  char label[100];
  u32 sizeMiB, percent, mibRead;
  u32 columns;
  Clock::time_point start, lastDraw;
};
Display g_display;

// A run of several copies drawn as one line: the copies' own figures are
// counted from the MiB the run's earlier copies read.
struct RunLine {
  bool active, show;
  u32 count, index, baseMiB, totalMiB;
  Clock::time_point start;
};
RunLine g_run;

double Since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

void FormatDuration(char* out, u32 size, double seconds) {
  u32 s = seconds > 359999 ? 359999 : u32(seconds + 0.5);
  if (s >= 3600) FormatText(out, size, "%u:%02u:%02u", s / 3600, s / 60 % 60, s % 60);
  else FormatText(out, size, "%u:%02u", s / 60, s % 60);
}

void Draw() {
  char line[512];
  u32 n = FormatProgressLine(line, sizeof line, g_display.label, g_display.percent,
                             g_display.mibRead, g_display.sizeMiB, Since(g_display.start),
                             g_display.columns);
  // Padding overwrites what a longer previous line left.
  std::fprintf(stderr, "\r%s%*s", line, int(g_display.columns - 1 - n), "");
  std::fflush(stderr);
  g_display.drawn = true;
  g_display.lastDraw = Clock::now();
}

}  // namespace

u32 FormatProgressLine(char* out, u32 size, const char* label, u32 percent, u32 mibRead,
                       u32 mibListed, double seconds, u32 columns) {
  char figures[128], rate[32], left[32];
  if (seconds >= 0.1) {
    double perSecond = mibRead / seconds;
    FormatText(rate, sizeof rate, "%.1f MiB/s", perSecond);
    if (mibRead >= mibListed) FormatText(left, sizeof left, "%s", "0:00");
    else if (perSecond > 0) FormatDuration(left, sizeof left, (mibListed - mibRead) / perSecond);
    else FormatText(left, sizeof left, "%s", "--:--");
  } else {
    FormatText(rate, sizeof rate, "%s", "-- MiB/s");
    FormatText(left, sizeof left, "%s", "--:--");
  }
  u32 figuresLength = FormatText(figures, sizeof figures, "%3u%%  %u/%u MiB  %s  %s left",
                                 percent, mibRead, mibListed, rate, left);
  u32 width = columns > 1 ? columns - 1 : 0;
  if (width >= size) width = size - 1;
  u32 labelLength = u32(std::strlen(label));
  u32 labelRoom = width > figuresLength + 2 ? width - figuresLength - 2 : 0;
  if (labelLength > labelRoom) labelLength = labelRoom;
  if (labelLength == 0) return FormatText(out, width + 1, "%s", figures);
  return FormatText(out, width + 1, "%.*s  %s", int(labelLength), label, figures);
}

void StartProgress(bool show, u32 sizeMiB) {
  if (g_run.active) {
    g_display.show = g_run.show;
    g_display.mibRead = g_run.baseMiB;
    return;
  }
  g_display = Display{};
  g_display.show = show;
  g_display.sizeMiB = sizeMiB;
  g_display.columns = show ? TerminalColumns() : 80;
  if (g_display.columns < 20) g_display.columns = 20;
  if (g_display.columns > 500) g_display.columns = 500;
  g_display.start = g_display.lastDraw = Clock::now();
}

void ProgressLabel(const char* label) {
  if (g_run.active)
    FormatText(g_display.label, sizeof g_display.label, "%u/%u %s", g_run.index + 1, g_run.count, label);
  else
    FormatText(g_display.label, sizeof g_display.label, "%s", label);
  if (g_display.show) Draw();
}

void ProgressPercent(u32 percent) { g_display.percent = percent; }

void ProgressMiB(u32 mibRead) {
  g_display.mibRead = mibRead;
  if (g_display.show && Since(g_display.lastDraw) >= 0.1) Draw();
}

void ClearProgress() {
  if (!g_display.drawn) return;
  std::fprintf(stderr, "\r%*s\r", int(g_display.columns - 1), "");
  std::fflush(stderr);
  g_display.drawn = false;
}

void EndProgress() {
  ClearProgress();
  if (!g_run.active) g_display.show = false;
}

void StartRunProgress(bool show, u32 count, u32 totalMiB) {
  StartProgress(show, totalMiB);
  g_run = RunLine{true, show, count, 0, 0, totalMiB, g_display.start};
}

void RunProgressNext(u32 index, u32 doneMiB) {
  g_run.index = index;
  g_run.baseMiB = doneMiB;
  ProgressMiB(0);
}

void EndRunProgress() {
  g_run.active = false;
  EndProgress();
}
