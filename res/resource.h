/* Menu command and control ids, shared by the resource script and the code.
   Plain C preprocessor only: windres reads this file too. */
#ifndef MELVIR_RES_RESOURCE_H
#define MELVIR_RES_RESOURCE_H

/* Menu "MELVIR" */
#define IDM_EXTRACT 101
#define IDM_QUIT 102
#define IDM_READ_ME 104
#define IDM_ABOUT 105
#define IDM_INFO 106

/* Main window */
#define IDC_FILE_LIST 107
#define IDC_START 108

/* Read Me */
#define IDC_README_TEXT 110
#define IDC_README_RETURN 111

/* Extraction dialog; the progress bar is created at run time. */
#define IDC_PROGRESS 1
#define IDC_STATUS 113
#define IDC_STOP 116

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#endif
