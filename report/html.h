// Text into HTML: every character that could end an element or an
// attribute value is written as its entity.
#ifndef MELVIR_REPORT_HTML_H
#define MELVIR_REPORT_HTML_H

#include <string>

void AppendHtml(std::string* out, const std::string& text);

#endif
