// Text escaped for HTML.
#include "report/html.h"

void AppendHtml(std::string* out, const std::string& text) {
  for (char c : text) {
    switch (c) {
      case '&': *out += "&amp;"; break;
      case '<': *out += "&lt;"; break;
      case '>': *out += "&gt;"; break;
      case '"': *out += "&quot;"; break;
      case '\'': *out += "&#39;"; break;
      default: *out += c;
    }
  }
}
