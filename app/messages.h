// The string table and the one way errors reach the user.
#ifndef MELVIR_APP_MESSAGES_H
#define MELVIR_APP_MESSAGES_H

#include "platform/types.h"
#include "res/strings.h"

// Copies string id into buffer (size bytes), cut to size - 1 characters and
// NUL-terminated, embedded NULs kept. Returns the characters copied; 0 for an
// unknown id (buffer then holds the empty string).
u32 LoadText(u32 id, char* buffer, u32 size);

// Where LoadText finds its texts: the built-in copy of the string table,
// unless a front end names another source (the Windows program: its own
// string-table resource), which has LoadText's contract. Null restores the
// built-in copy.
typedef u32 (*TextSource)(u32 id, char* buffer, u32 size);
void SetTextSource(TextSource source);

// Loads string id into 100 characters and shows it with the error icon
// through the user-interface port. Callable from any thread.
void ShowError(u32 id);

#endif
