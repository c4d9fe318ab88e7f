// Shell patterns on decoded (UTF-8) recording names: * ? and [...] (with
// ranges and a leading ! or ^), letters compared without regard to case.
#ifndef MELVIR_TEXT_PATTERN_H
#define MELVIR_TEXT_PATTERN_H

bool MatchesPattern(const char* pattern, const char* name);

#endif
