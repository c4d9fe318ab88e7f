// `melvir check`'s reports of what the check found: for people, or as JSON
// (fields: docs/check.md).
#ifndef MELVIR_REPORT_CHECK_REPORT_H
#define MELVIR_REPORT_CHECK_REPORT_H

#include <cstdio>

#include "check/findings.h"

// Turns a raw name field into UTF-8 text (the command line's charset).
typedef void (*NameDecoder)(const u8* raw, u32 length, void* context, char* out, u32 size);
struct CheckOutput {
  const char* source;  // the image or device checked; may be null
  NameDecoder decode;
  void* context;
};

// The reports; false when writing failed.
bool WriteCheckText(std::FILE* out, const CheckFindings& findings, const CheckOutput& how);
bool WriteCheckJson(std::FILE* out, const CheckFindings& findings, const CheckOutput& how);

#endif
