// The Windows program's two options, "/T" and "/V".
#ifndef MELVIR_APP_COMMAND_LINE_H
#define MELVIR_APP_COMMAND_LINE_H

// Reads the command line after the program name. Blanks are skipped;
// "/T" (or "/t") sets *trace, "/V" (or "/v") sets *quiet, with or without
// blanks between them. Anything else stops the parse and returns false;
// the options found so far stay set.
bool ParseCommandLine(const char* line, bool* trace, bool* quiet);

#endif
