/* The string table: ids and texts in one place, included by the resource
   script and by the portable code, so a text cannot differ between them.
   Plain C preprocessor only: windres reads this file too. */
#ifndef MELVIR_RES_STRINGS_H
#define MELVIR_RES_STRINGS_H

#define IDS_WRITE_ERROR 124
#define IDS_SCAN_ERROR 132
#define IDS_INPUT_ERROR 133
#define IDS_CREATE_ERROR 134
#define IDS_CLOSE_ERROR 139
#define IDS_SYNTAX_ERROR 142
#define IDS_NO_DRIVE 143
#define IDS_NO_BUFFER 144
#define IDS_STOP_QUERY 145
#define IDS_EXTRACTING 152
#define IDS_DONE 153
#define IDS_SAVE_TITLE 154
#define IDS_SAVE_FILTER 155

#define TEXT_WRITE_ERROR "Output file write error"
#define TEXT_SCAN_ERROR "Error detected while scanning files"
#define TEXT_INPUT_ERROR "Input file access error"
#define TEXT_CREATE_ERROR "Unable to create output file"
#define TEXT_CLOSE_ERROR "Output file close error"
#define TEXT_SYNTAX_ERROR "Command line syntax error"
#define TEXT_NO_DRIVE "No DVB-T drive found"
#define TEXT_NO_BUFFER "Unable to allocate buffer"
#define TEXT_STOP_QUERY "Stop file extraction?"
#define TEXT_EXTRACTING "Extracting: %s..."
#define TEXT_DONE "File extraction done!"
#define TEXT_SAVE_TITLE "Save file as"
/* Four NUL-separated strings stored as one. */
#define TEXT_SAVE_FILTER "MPEG2 Transport Stream\0*.TS;*.TS2\0All files\0*.*"

#define MELVIR_CAPTION "MELVIR"
/* MELVIR_VERSION comes from the build (the CMake project's version), and so
   does the About box's MELVIR_TITLE (melvir_version.h, made from version.h.in). */
#define MELVIR_COPYRIGHT "Copyright (C) 2026 the MELVIR project"

#endif
