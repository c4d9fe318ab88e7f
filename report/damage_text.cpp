#include "report/damage_text.h"

#include "platform/platform.h"

std::string UnreadableRangesText(const std::vector<ByteRun>& runs) {
  std::string text;
  for (const ByteRun& r : runs) {
    char line[48];
    FormatText(line, sizeof line, "%llu %llu\n", static_cast<unsigned long long>(r.begin),
               static_cast<unsigned long long>(r.end - r.begin));
    text += line;
  }
  return text;
}

std::string MountDamageText(const std::vector<FileDamage>& files, bool pastDamage) {
  if (!pastDamage)
    return "Mounted without --rescue: a read that meets an unreadable sector fails\n"
           "(EIO), so no file holds unreadable bytes.\n";
  std::string text =
      "The unreadable bytes of each file, which read as zeros: OFFSET LENGTH in\n"
      "bytes of the file. Those a mapfile gives are known from the mount on, the\n"
      "others are added as reads meet them.\n";
  bool any = false;
  for (const FileDamage& f : files) {
    if (f.unreadable.empty()) continue;
    u64 bytes = 0;
    for (const ByteRun& r : f.unreadable) bytes += r.end - r.begin;
    char line[80];
    FormatText(line, sizeof line, ": %u range%s, %llu bytes\n", u32(f.unreadable.size()),
               f.unreadable.size() == 1 ? "" : "s", static_cast<unsigned long long>(bytes));
    text += "\n" + f.path + line + UnreadableRangesText(f.unreadable);
    any = true;
  }
  if (!any) text += "\nNo unreadable bytes are known so far.\n";
  return text;
}
