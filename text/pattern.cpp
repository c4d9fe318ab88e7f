// Shell patterns matched against decoded names, ignoring case.
#include "text/pattern.h"

#include <cstring>

#include "text/names.h"
#include "text/utf8.h"
#include "platform/types.h"

namespace {

// The next code point of UTF-8 text.
u32 Next(const char** text) {
  const u8* p = reinterpret_cast<const u8*>(*text);
  u32 c, used = ReadUtf8(p, u32(std::strlen(*text)), &c);
  *text += used;
  return c;
}

// Matches c against the set after "[", moving *pattern past its "]".
// False with *pattern unchanged when the set is not closed: then "[" is literal.
bool InSet(const char** pattern, u32 c, bool* matched) {
  const char* p = *pattern;
  bool negate = *p == '!' || *p == '^';
  if (negate) ++p;
  bool hit = false, first = true;
  while (*p && (*p != ']' || first)) {
    first = false;
    u32 low = FoldLetter(Next(&p)), high = low;
    if (*p == '-' && p[1] && p[1] != ']') {
      ++p;
      high = FoldLetter(Next(&p));
    }
    if (c >= low && c <= high) hit = true;
  }
  if (*p != ']') return false;
  *pattern = p + 1;
  *matched = hit != negate;
  return true;
}

bool Match(const char* pattern, const char* name) {
  while (*pattern) {
    if (*pattern == '*') {
      while (*pattern == '*') ++pattern;
      if (!*pattern) return true;
      for (const char* at = name; *at; Next(&at))
        if (Match(pattern, at)) return true;
      return Match(pattern, "");
    }
    if (!*name) return false;
    u32 c = FoldLetter(Next(&name));
    if (*pattern == '?') {
      ++pattern;
      continue;
    }
    if (*pattern == '[') {
      const char* p = pattern + 1;
      bool matched = false;
      if (InSet(&p, c, &matched)) {
        if (!matched) return false;
        pattern = p;
        continue;
      }
    }
    if (*pattern == '\\' && pattern[1]) ++pattern;
    if (FoldLetter(Next(&pattern)) != c) return false;
  }
  return *name == 0;
}

}  // namespace

bool MatchesPattern(const char* pattern, const char* name) { return Match(pattern, name); }
