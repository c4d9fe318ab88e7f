// NFO files: plain XML written element by element.
#include "library/nfo.h"

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "report/html.h"

namespace {

const char kHead[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

// An element on a line of its own, indented by depth; XML allows no control
// code but tab and line ends in text, so the others go.
void Element(std::string* xml, int depth, const char* tag, const std::string& text) {
  std::string clean;
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x20 || c == '\n' || c == '\t') clean += c;
  xml->append(2 * depth, ' ');
  *xml += "<" + std::string(tag) + ">";
  AppendHtml(xml, clean);
  *xml += "</" + std::string(tag) + ">\n";
}

std::string Decimal(double value, int places) {
  char out[32];
  FormatText(out, sizeof out, "%.*f", places, value);
  return out;
}

void StreamDetails(std::string* xml, const MediaDetails& d) {
  *xml += "  <fileinfo>\n    <streamdetails>\n";
  if (d.videoKnown) {
    *xml += "      <video>\n";
    Element(xml, 4, "codec", d.video.codec);
    Element(xml, 4, "width", std::to_string(d.width));
    Element(xml, 4, "height", std::to_string(d.height));
    if (d.aspect > 0) Element(xml, 4, "aspect", Decimal(d.aspect, 3));
    if (d.seconds > 0) Element(xml, 4, "durationinseconds", std::to_string(u64(d.seconds + 0.5)));
    *xml += "      </video>\n";
  }
  for (const MediaTrack& a : d.audio) {
    *xml += "      <audio>\n";
    Element(xml, 4, "codec", a.codec);
    if (!a.language.empty()) Element(xml, 4, "language", a.language);
    if (a.channels) Element(xml, 4, "channels", std::to_string(a.channels));
    *xml += "      </audio>\n";
  }
  for (const MediaTrack& s : d.subtitles) {
    *xml += "      <subtitle>\n";
    Element(xml, 4, "language", s.language);
    *xml += "      </subtitle>\n";
  }
  *xml += "    </streamdetails>\n  </fileinfo>\n";
}

}  // namespace

void RecordingNfo(const LibraryEntry& e, const MediaDetails& d, const std::string& damage,
                  std::string* xml) {
  bool film = e.kind == kLibraryFilm;
  std::string plot = e.plot;
  if (!damage.empty()) plot += (plot.empty() ? "" : "\n") + damage;
  *xml = kHead;
  *xml += film ? "<movie>\n" : "<episodedetails>\n";
  Element(xml, 1, "title", film ? e.title : e.episodeTitle);
  if (film && e.year) Element(xml, 1, "year", std::to_string(e.year));
  if (!film) {
    Element(xml, 1, "showtitle", e.title);
    const CivilTime& t = e.local;
    char episode[16];
    FormatText(episode, sizeof episode, "%02d%02d%02d%02d", t.month, t.day, t.hour, t.minute);
    Element(xml, 1, "season", std::to_string(t.year));
    Element(xml, 1, "episode", std::to_string(std::atol(episode)));
    Element(xml, 1, "aired", CivilDate(t));
  }
  if (!plot.empty()) Element(xml, 1, "plot", plot);
  // The broadcast is no premiere: a film has its year alone.
  if (film && !e.shortText.empty()) Element(xml, 1, "outline", e.shortText);
  if (!e.service.empty()) Element(xml, 1, "studio", e.service);
  if (film && !e.genre.empty()) Element(xml, 1, "genre", e.genre);
  if (e.runtimeMinutes) Element(xml, 1, "runtime", std::to_string(e.runtimeMinutes));
  if (film && e.timeKnown) Element(xml, 1, "dateadded", CivilDateTime(e.local));
  StreamDetails(xml, d);
  *xml += film ? "</movie>\n" : "</episodedetails>\n";
}

void ShowNfo(const LibraryEntry& e, const std::string& premiered, std::string* xml) {
  *xml = kHead;
  *xml += "<tvshow>\n";
  Element(xml, 1, "title", e.title);
  if (!e.service.empty()) Element(xml, 1, "studio", e.service);
  if (!e.genre.empty()) Element(xml, 1, "genre", e.genre);
  Element(xml, 1, "premiered", premiered);
  *xml += "</tvshow>\n";
}

std::string NfoField(const std::string& xml, const char* tag) {
  std::string open = "<" + std::string(tag) + ">", close = "</" + std::string(tag) + ">";
  size_t from = xml.find(open);
  if (from == std::string::npos) return "";
  from += open.size();
  size_t to = xml.find(close, from);
  if (to == std::string::npos) return "";
  std::string raw = xml.substr(from, to - from), text;
  static const char* const kEntities[][2] = {
      {"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}};
  for (size_t i = 0; i < raw.size();) {
    bool replaced = false;
    for (const auto& entity : kEntities) {
      size_t n = std::strlen(entity[0]);
      if (raw.compare(i, n, entity[0]) == 0) {
        text += entity[1];
        i += n;
        replaced = true;
        break;
      }
    }
    if (!replaced) text += raw[i++];
  }
  return text;
}
