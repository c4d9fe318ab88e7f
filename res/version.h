/* The product's version and name, for the code and both resource scripts.
   Plain C preprocessor only: windres reads this file too. */
#ifndef MELVIR_RES_VERSION_H
#define MELVIR_RES_VERSION_H

#define MELVIR_VERSION_MAJOR 1
#define MELVIR_VERSION_MINOR 0

#define MELVIR_TEXT_(x) #x
#define MELVIR_TEXT(x) MELVIR_TEXT_(x)
#define MELVIR_VERSION MELVIR_TEXT(MELVIR_VERSION_MAJOR) "." MELVIR_TEXT(MELVIR_VERSION_MINOR)
#define MELVIR_TITLE "MELVIR " MELVIR_VERSION
#define MELVIR_COPYRIGHT "Copyright (C) 2026 the MELVIR project"

#endif
