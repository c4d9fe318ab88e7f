// The catalogue page written, one card per recording.
#include "report/catalogue_page.h"

#include "platform/write_guard.h"

#include <cstdio>

#include "report/html.h"

namespace {

const char kHead[] =
    "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
    "<title>MELVIR catalogue</title>\n<style>\n"
    "body{font:14px/1.4 sans-serif;margin:0;padding:16px;background:#eeeeec;color:#222}\n"
    "h1{font-size:20px;margin:0 0 4px}\n"
    ".summary{margin:0 0 12px;color:#555}\n"
    ".cards{display:grid;grid-template-columns:repeat(auto-fill,minmax(338px,1fr));gap:12px}\n"
    ".card{background:#fff;border:1px solid #d3d3d0;border-radius:6px;padding:8px}\n"
    ".card img,.nopic{display:block;width:320px;max-width:100%;height:auto;background:#000}\n"
    ".nopic{height:180px;color:#aaa;display:flex;align-items:center;justify-content:center}\n"
    ".card h2{font-size:16px;margin:6px 0 2px;overflow-wrap:anywhere}\n"
    ".card dl{display:grid;grid-template-columns:auto 1fr;gap:0 8px;margin:4px 0}\n"
    ".card dt{color:#777}\n"
    ".card dd{margin:0;overflow-wrap:anywhere}\n"
    ".damaged{color:#b00000;font-weight:bold}\n"
    ".card code{display:block;background:#f4f4f2;padding:3px 5px;overflow-wrap:anywhere}\n"
    "</style>\n</head>\n<body>\n";

void FormatSize(u64 bytes, std::string* out) {
  char text[32];
  if (bytes >= (1ull << 30)) std::snprintf(text, sizeof text, "%.2f GiB", double(bytes) / double(1ull << 30));
  else if (bytes >= (1ull << 20)) std::snprintf(text, sizeof text, "%.1f MiB", double(bytes) / double(1ull << 20));
  else if (bytes >= 1024) std::snprintf(text, sizeof text, "%.0f KiB", double(bytes) / 1024);
  else std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
  *out += text;
}

// One way for every length: "1 h 02 min", "45 min", "58 s".
void FormatDuration(double seconds, std::string* out) {
  char text[48];
  if (seconds < 0) {
    *out += "&ndash;";
    return;
  }
  unsigned long long s = static_cast<unsigned long long>(seconds + 0.5), m = (s + 30) / 60;
  if (s < 60) std::snprintf(text, sizeof text, "%llu s", s);
  else if (m < 60) std::snprintf(text, sizeof text, "%llu min", m);
  else std::snprintf(text, sizeof text, "%llu h %02llu min", m / 60, m % 60);
  *out += text;
}

// A word a shell takes as it is, else in single quotes (on Windows, where
// the console takes a path's backslashes as they are and no name holds a
// double quote, in double quotes).
void AppendShellWord(std::string* out, const std::string& word) {
  bool plain = !word.empty();
  for (char c : word)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
          c == '/' || c == '.' || c == '_' || c == '-' || c == '+' || c == ':'
#ifdef _WIN32
          || c == '\\'
#endif
          ))
      plain = false;
  if (plain) {
    AppendHtml(out, word);
    return;
  }
#ifdef _WIN32
  AppendHtml(out, "\"" + word + "\"");
#else
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  AppendHtml(out, quoted + "'");
#endif
}

void AppendRow(std::string* out, const char* label, const std::string& text, const char* cls = nullptr) {
  *out += "<dt>";
  *out += label;
  *out += cls ? std::string("</dt><dd class=\"") + cls + "\">" : std::string("</dt><dd>");
  if (text.empty()) *out += "&ndash;";
  else AppendHtml(out, text);
  *out += "</dd>\n";
}

void AppendPicture(std::string* out, const CatalogueCard& c) {
  if (c.thumbnail.empty()) {
    *out += "<div class=\"nopic\">no picture</div>\n";
    return;
  }
  *out += "<img src=\"";
  AppendHtml(out, c.thumbnail);
  *out += "\"";
  if (c.thumbWidth && c.thumbHeight)
    *out += " width=\"" + std::to_string(c.thumbWidth) + "\" height=\"" + std::to_string(c.thumbHeight) + "\"";
  *out += " alt=\"\">\n";
}

void AppendCard(std::string* out, const CataloguePage& page, const CatalogueCard& c) {
  std::string index = std::to_string(c.index);
  *out += "<article class=\"card\" id=\"recording-" + index + "\">\n";
  AppendPicture(out, c);
  if (c.link.empty()) {
    *out += "<h2>" + index + "&ensp;";
    AppendHtml(out, c.name);
  } else {
    *out += "<h2><a href=\"";
    AppendHtml(out, c.link);
    *out += "\">";
    AppendHtml(out, c.name);
    *out += "</a>";
  }
  *out += "</h2>\n<dl>\n";
  AppendRow(out, "Channel", c.service);
  AppendRow(out, "Title", c.title);
  AppendRow(out, "Date", c.date.empty() ? c.time : c.time.empty() ? c.date : c.date + " " + c.time);
  AppendRow(out, "Video", c.video);
  *out += "<dt>Duration</dt><dd>";
  FormatDuration(c.durationS, out);
  *out += "</dd>\n<dt>Size</dt><dd>";
  FormatSize(c.sizeBytes, out);
  *out += "</dd>\n";
  AppendRow(out, "Health", c.health, c.damaged ? "damaged" : nullptr);
  if (!c.link.empty()) {
    *out += "</dl>\n</article>\n";
    return;
  }
  *out += "</dl>\n<code>melvir extract -n " + index;
  if (!page.options.empty()) {
    *out += " ";
    AppendHtml(out, page.options);
  }
  if (!page.source.empty()) {
    *out += " ";
    AppendShellWord(out, page.source);
  }
  *out += "</code>\n</article>\n";
}

}  // namespace

void RenderCataloguePage(const CataloguePage& page, std::string* html) {
  html->assign(kHead);
  *html += "<h1>Recordings";
  if (!page.source.empty()) {
    *html += " on ";
    AppendHtml(html, page.source);
  }
  u64 total = 0;
  for (const CatalogueCard& c : page.cards) total += c.sizeBytes;
  *html += "</h1>\n<p class=\"summary\">" + std::to_string(page.cards.size()) +
           (page.cards.size() == 1 ? " recording, " : " recordings, ");
  FormatSize(total, html);
  *html += "</p>\n<main class=\"cards\">\n";
  for (const CatalogueCard& c : page.cards) AppendCard(html, page, c);
  *html += "</main>\n</body>\n</html>\n";
}

bool WriteCataloguePage(const char* path, const CataloguePage& page) {
  std::string html;
  RenderCataloguePage(page, &html);
  WriteVerdict verdict;
  u32 error;
  std::FILE* f = OpenStreamForWriting(path, true, &verdict, &error);
  if (!f) return false;
  bool ok = std::fwrite(html.data(), 1, html.size(), f) == html.size();
  return std::fclose(f) == 0 && ok;
}
