// The .srt files beside an output.
#include "cli/srt_files.h"

#include <cctype>
#include <cstring>

#include "cli/cli_port.h"
#include "files/output_file.h"
#include "stream/subrip.h"
#include "text/names.h"

namespace {

// The language as a file name has it: three letters, lower case, "und"
// for anything else.
std::string LanguagePart(const char* language) {
  std::string part;
  for (u32 i = 0; i < 3 && std::isalpha(static_cast<unsigned char>(language[i])); ++i)
    part += char(std::tolower(static_cast<unsigned char>(language[i])));
  return part.size() == 3 ? part : "und";
}

std::string NameOf(const std::string& base, const SubtitlePage& p, bool numbered) {
  char page[8] = "";
  if (numbered) std::snprintf(page, sizeof page, ".%03X", p.entry.page);
  return base + "." + LanguagePart(p.entry.language) + page + (p.entry.type == 5 ? ".sdh" : "") + ".srt";
}

bool WriteText(std::FILE* file, const void* context) {
  const std::string& text = *static_cast<const std::string*>(context);
  return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

}  // namespace

void SrtNames(const char* output, const std::vector<SubtitlePage>& pages, std::vector<std::string>* names) {
  std::string base = output;
  for (const char* extension : {".ts", ".mkv"}) {
    size_t n = std::strlen(extension);
    if (base.size() > n && base.compare(base.size() - n, n, extension) == 0) {
      base.resize(base.size() - n);
      break;
    }
  }
  names->clear();
  for (const SubtitlePage& p : pages) {
    bool shared = false;
    for (const SubtitlePage& other : pages)
      shared = shared || (&other != &p && NameOf(base, other, false) == NameOf(base, p, false));
    names->push_back(NameOf(base, p, shared));
  }
}

bool WriteSrtFiles(const char* output, const TeletextText& text, i64 zero, const CopyTarget& t) {
  std::vector<std::string> names;
  SrtNames(output, text.pages, &names);
  bool ok = true;
  for (size_t i = 0; i < text.pages.size(); ++i) {
    std::string srt;
    u32 cues = 0;
    for (const TeletextCue& cue : text.kept[i])
      if (AppendSubripCue(&srt, cues + 1, cue, u64(zero))) ++cues;
    if (cues == 0) {
      if (!t.quiet) Say("%s: not written: teletext page %03X showed nothing", names[i].c_str(), text.pages[i].entry.page);
      continue;
    }
    // Never over a file of another's without --force.
    static char name[1200];
    FormatText(name, sizeof name, "%s", names[i].c_str());
    for (u32 n = 2; !t.replace && NameExists(name); ++n) {
      if (n > 9999 || !NumberedPath(names[i].c_str(), n, name, sizeof name)) {
        Say("%s: exists, and no free name for these subtitles", names[i].c_str());
        ok = false;
        break;
      }
      if (!NameExists(name)) Say("%s: exists; these subtitles are in %s", names[i].c_str(), name);
    }
    if (!t.replace && NameExists(name)) continue;
    u32 error = 0;
    WriteVerdict verdict = ReplaceSideFile(name, WriteText, &srt, &error);
    if (verdict != kWriteAllowed) {
      char reason[300];
      WriteVerdictText(verdict, error, reason, sizeof reason);
      Say("%s: cannot write the subtitles: %s", name, reason);
      ok = false;
    } else if (!t.quiet) {
      Say("%s: %u subtitle%s of teletext page %03X", name, cues, cues == 1 ? "" : "s", text.pages[i].entry.page);
    }
  }
  if (text.lost) Say("%s: %llu subtitles left out (more text than is kept)", output,
                     static_cast<unsigned long long>(text.lost));
  return ok;
}
