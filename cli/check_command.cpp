// `melvir check`: the check run and its report written.
#include "cli/check_command.h"

#include "report/check_report.h"
#include "cli/cli_port.h"

namespace {
void Decode(const u8* raw, u32 length, void* context, char* out, u32 size) {
  DecodeName(raw, length, *static_cast<const Charset*>(context), out, size);
}
}  // namespace

int CheckCommand(bool json, Charset charset, const char* source, std::FILE* out) {
  CheckFindings findings;
  if (!RunCheck(&findings)) {
    Say("%s", "not enough memory for the allocation table");
    return 1;
  }
  CheckOutput how = {source, Decode, &charset};
  bool written = json ? WriteCheckJson(out, findings, how) : WriteCheckText(out, findings, how);
  if (!written) {
    Say("%s", "cannot write the report");
    return 1;
  }
  return CheckExitStatus(findings);
}
