// Recording names as the recorder stored them, decoded into UTF-8.
#ifndef MELVIR_TEXT_CHARSET_H
#define MELVIR_TEXT_CHARSET_H

#include "platform/types.h"

// ISO 8859-1 (the default), ISO 8859-15, CP1252, UTF-8, or the broadcast
// coding of programme names (a leading selector byte picks ISO 8859-5 to
// -15, UCS-2 or UTF-8; without one, ISO 6937).
enum Charset { kLatin1, kLatin9, kCp1252, kUtf8, kDvb };

// "ISO-8859-1", "ISO-8859-15", "CP1252", "UTF-8", "dvb", any case, with the
// usual spellings ("latin1", "iso8859-15", "utf8", "windows-1252").
bool ParseCharset(const char* name, Charset* out);

// Room for a decoded 64-byte name: every byte may become a 3-byte U+FFFD.
const u32 kDecodedNameSize = 64 * 3 + 1;

// Decodes raw (length bytes: the name field up to its NUL) into UTF-8 in
// out (size bytes, NUL-terminated). A byte or sequence that does not decode,
// and every control code (U+0000-U+001F, U+007F-U+009F), becomes U+FFFD.
void DecodeName(const u8* raw, u32 length, Charset charset, char* out, u32 size);

// Room for a decoded string of the broadcast's tables (at most 255 bytes).
const u32 kBroadcastStringSize = 255 * 3 + 1;

// A string of the broadcast's tables (a service or event name, an event's
// text) decoded as the dvb charset decodes a name, 0x11 (UCS-2) included,
// but its control codes dropped: only the line break (0x8A) stays, as a
// blank, or in text as "\n".
void DecodeBroadcastString(const u8* raw, u32 length, bool text, char* out, u32 size);

#endif
