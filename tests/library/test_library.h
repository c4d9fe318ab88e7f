// A media library made at test time, for the library's own tests and for a
// check that points a media centre at it: two disk images of recordings
// made by ffmpeg and melvir-ts-si, copied by `melvir library`.
#ifndef MELVIR_TESTS_LIBRARY_TEST_LIBRARY_H
#define MELVIR_TESTS_LIBRARY_TEST_LIBRARY_H

#include <string>

// In folder: first.img (a film with its year in its short text, a daily
// show recorded on two days, each just after local midnight UTC's day
// before, a recording without EIT, two recordings of one film) and
// second.img (the show a day before its first). False, with why, when a
// tool fails.
bool MakeLibraryDisks(const std::string& folder, std::string* why);

// The run `melvir library -d dir image`: its exit status, stderr in *err.
int RunLibrary(const std::string& dir, const std::string& image, std::string* err);

// The service every test recording names: the NFOs' studio.
extern const char kLibraryService[];

#endif
