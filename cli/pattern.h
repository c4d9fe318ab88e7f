// Shell patterns on decoded (UTF-8) recording names: * ? and [...] (with
// ranges and a leading ! or ^), letters compared without regard to case.
#ifndef MELVIR_CLI_PATTERN_H
#define MELVIR_CLI_PATTERN_H

bool MatchesPattern(const char* pattern, const char* name);

#endif
