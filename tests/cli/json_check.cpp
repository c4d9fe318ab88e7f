#include "json_check.h"

namespace {

struct Reader {
  const std::string& s;
  size_t i;
  std::string error;

  bool Fail(const char* why) {
    error = std::string(why) + " at offset " + std::to_string(i);
    return false;
  }
  void Space() {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) ++i;
  }
  bool Word(const char* w) {
    size_t n = std::string(w).size();
    if (s.compare(i, n, w) != 0) return Fail("bad literal");
    i += n;
    return true;
  }
  static int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }
  bool String(std::string* out) {
    if (i >= s.size() || s[i] != '"') return Fail("string expected");
    for (++i;; ++i) {
      if (i >= s.size()) return Fail("unterminated string");
      unsigned char c = static_cast<unsigned char>(s[i]);
      if (c == '"') { ++i; return true; }
      if (c < 0x20) return Fail("raw control character in string");
      if (c != '\\') { *out += char(c); continue; }
      if (++i >= s.size()) return Fail("unterminated escape");
      switch (s[i]) {
        case '"': *out += '"'; break;
        case '\\': *out += '\\'; break;
        case '/': *out += '/'; break;
        case 'b': *out += '\b'; break;
        case 'f': *out += '\f'; break;
        case 'n': *out += '\n'; break;
        case 'r': *out += '\r'; break;
        case 't': *out += '\t'; break;
        case 'u': {
          int v = 0;
          for (int k = 1; k <= 4; ++k) {
            int h = i + k < s.size() ? Hex(s[i + k]) : -1;
            if (h < 0) return Fail("bad \\u escape");
            v = v * 16 + h;
          }
          if (v > 0xFF) return Fail("\\u escape beyond Latin-1");
          *out += char(v);
          i += 4;
          break;
        }
        default: return Fail("unknown escape");
      }
    }
  }
  bool Number(double* out) {
    size_t start = i;
    if (i < s.size() && s[i] == '-') ++i;
    if (i >= s.size() || s[i] < '0' || s[i] > '9') return Fail("digit expected");
    if (s[i] == '0') ++i;
    else while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    if (i < s.size() && s[i] == '.') {
      if (++i >= s.size() || s[i] < '0' || s[i] > '9') return Fail("digit expected");
      while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
      ++i;
      if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
      if (i >= s.size() || s[i] < '0' || s[i] > '9') return Fail("digit expected");
      while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    }
    *out = std::stod(s.substr(start, i - start));
    return true;
  }
  bool Value(JsonValue* v, int depth) {
    if (depth > 64) return Fail("too deep");
    Space();
    if (i >= s.size()) return Fail("value expected");
    char c = s[i];
    if (c == '"') { v->kind = JsonValue::kString; return String(&v->text); }
    if (c == 't') { v->kind = JsonValue::kBool; v->boolean = true; return Word("true"); }
    if (c == 'f') { v->kind = JsonValue::kBool; return Word("false"); }
    if (c == 'n') { v->kind = JsonValue::kNull; return Word("null"); }
    if (c == '[') {
      v->kind = JsonValue::kArray;
      ++i;
      Space();
      if (i < s.size() && s[i] == ']') { ++i; return true; }
      for (;;) {
        v->items.emplace_back();
        if (!Value(&v->items.back(), depth + 1)) return false;
        Space();
        if (i < s.size() && s[i] == ',') { ++i; continue; }
        if (i < s.size() && s[i] == ']') { ++i; return true; }
        return Fail("',' or ']' expected");
      }
    }
    if (c == '{') {
      v->kind = JsonValue::kObject;
      ++i;
      Space();
      if (i < s.size() && s[i] == '}') { ++i; return true; }
      for (;;) {
        Space();
        std::string key;
        if (!String(&key)) return false;
        if (v->members.count(key)) return Fail("duplicate key");
        Space();
        if (i >= s.size() || s[i] != ':') return Fail("':' expected");
        ++i;
        if (!Value(&v->members[key], depth + 1)) return false;
        v->keys.push_back(key);
        Space();
        if (i < s.size() && s[i] == ',') { ++i; continue; }
        if (i < s.size() && s[i] == '}') { ++i; return true; }
        return Fail("',' or '}' expected");
      }
    }
    v->kind = JsonValue::kNumber;
    return Number(&v->number);
  }
};

}  // namespace

bool ParseJson(const std::string& text, JsonValue* value, std::string* error) {
  Reader r{text, 0, ""};
  bool ok = r.Value(value, 0);
  if (ok) {
    r.Space();
    if (r.i != text.size()) ok = r.Fail("text after the value");
  }
  if (!ok) *error = r.error;
  return ok;
}
