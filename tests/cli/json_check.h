// A strict JSON reader (RFC 8259) for checking what `melvir list --json`
// prints: it refuses anything a conforming parser would refuse, and gives
// back the decoded values to compare.
#ifndef MELVIR_TESTS_CLI_JSON_CHECK_H
#define MELVIR_TESTS_CLI_JSON_CHECK_H

#include <map>
#include <string>
#include <vector>

struct JsonValue {
  enum Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
  bool boolean = false;
  double number = 0;
  std::string text;  // strings, decoded; \u escapes above 0xFF are refused
  std::vector<JsonValue> items;
  std::map<std::string, JsonValue> members;
  std::vector<std::string> keys;  // members in document order
};

// False, with the offset of the fault in *error, when text is not one JSON
// value (surrounding white space allowed).
bool ParseJson(const std::string& text, JsonValue* value, std::string* error);

#endif
