// --name-format's placeholders checked and filled.
#include "text/name_format.h"

#include <cstring>

#include "platform/platform.h"

namespace {

struct Placeholder {
  const char* word;
  std::string NameValues::*value;
  bool stream;
};

const Placeholder kPlaceholders[] = {
    {"name", &NameValues::name, false},         {"index", &NameValues::index, false},
    {"cluster", &NameValues::cluster, false},   {"service", &NameValues::service, true},
    {"title", &NameValues::title, true},        {"date", &NameValues::date, true},
    {"time", &NameValues::time, true},          {"date_utc", &NameValues::dateUtc, true},
    {"time_utc", &NameValues::timeUtc, true},   {"duration", &NameValues::duration, true},
};

const Placeholder* Find(const char* word, size_t length) {
  for (const Placeholder& p : kPlaceholders)
    if (std::strlen(p.word) == length && std::strncmp(p.word, word, length) == 0) return &p;
  return nullptr;
}

bool Separator(char c) { return c == ' ' || c == '-' || c == '_'; }

bool OnlySeparators(const std::string& s) {
  for (char c : s)
    if (!Separator(c)) return false;
  return true;
}

struct Piece {
  std::string text;
  bool placeholder;
  bool dropped;
};

// The format as literal text and placeholders, alternating (either may be
// empty); false at an unknown placeholder or a lone brace.
bool Split(const char* format, std::vector<Piece>* pieces, const NameValues* values,
           const Placeholder** bad, bool* usesStream) {
  std::string literal;
  *usesStream = false;
  for (const char* p = format; *p; ++p) {
    if (*p == '}') return false;
    if (*p != '{') {
      literal += *p;
      continue;
    }
    const char* end = std::strchr(p, '}');
    if (!end) return false;
    const Placeholder* ph = Find(p + 1, size_t(end - p - 1));
    *bad = ph;
    if (!ph) return false;
    *usesStream = *usesStream || ph->stream;
    pieces->push_back({literal, false, false});
    pieces->push_back({values ? values->*(ph->value) : std::string(), true, false});
    literal.clear();
    p = end;
  }
  pieces->push_back({literal, false, false});
  return true;
}

}  // namespace

bool CheckNameFormat(const char* format, bool* usesStream, char* error, u32 size) {
  std::vector<Piece> pieces;
  const Placeholder* known = nullptr;
  if (!Split(format, &pieces, nullptr, &known, usesStream)) {
    FormatText(error, size, "--name-format: %s in '%s'",
               known ? "a lone brace" : "an unknown placeholder or a lone brace", format);
    return false;
  }
  if (*usesStream && !StreamPlaceholdersBuilt()) {
    FormatText(error, size, "%s",
               "--name-format: this build takes only {name}, {index} and {cluster}; the stream's "
               "placeholders need the probe (a build with libdvbpsi)");
    return false;
  }
  return true;
}

std::string FillNameFormat(const char* format, const NameValues& values) {
  std::vector<Piece> pieces;
  const Placeholder* known;
  bool usesStream;
  if (!Split(format, &pieces, &values, &known, &usesStream)) return values.name;
  // An empty placeholder takes the separators before it, or at the start
  // those after it, so that "A - {x} - B" gives "A - B".
  bool before = false;
  for (size_t i = 0; i < pieces.size(); ++i) {
    Piece& piece = pieces[i];
    if (!piece.placeholder) {
      before = before || (!piece.dropped && !OnlySeparators(piece.text));
      continue;
    }
    if (!piece.text.empty()) {
      before = true;
      continue;
    }
    Piece& side = before ? pieces[i - 1] : pieces[i + 1];
    if (OnlySeparators(side.text)) side.dropped = true;
  }
  std::string out;
  for (const Piece& piece : pieces)
    if (!piece.dropped) out += piece.text;
  size_t start = 0, end = out.size();
  while (start < end && Separator(out[start])) ++start;
  while (end > start && Separator(out[end - 1])) --end;
  out = out.substr(start, end - start);
  return out.empty() ? values.name : out;
}
