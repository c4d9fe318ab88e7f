// The command line's one way of speaking: "melvir: " and a line on stderr,
// kept whole when several threads speak and against a progress line.
#ifndef MELVIR_REPORT_SAY_H
#define MELVIR_REPORT_SAY_H

// "melvir: " and the formatted text on stderr, as its own line.
void Say(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// The text as it is.
void SayText(const char* text);

// Called before each line, under the lock: the front end erases its
// progress line there.
void SetBeforeSay(void (*before)());

#endif
