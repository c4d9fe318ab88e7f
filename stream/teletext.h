// Teletext subtitles as timed cues of UTF-8 text: EN 300 472 PES data units
// carrying EN 300 706 level 1.5 pages (the G0 Latin set with its national
// options; colours, positions and mosaics are dropped).
//
// The decoder is a plain record, reset for each recording, fed the PES of
// the teletext PID in stream order and told which pages are subtitles (the
// teletext descriptor's types 2 and 5). A cue starts at the PTS of the PES
// that carried its page's header and ends where the page is erased or
// replaced (an empty page, the next page), at most kCueLimit later: a page
// shown longer is given in pieces of kCueLimit, so that a muxer taking
// packets in time order never holds a cue longer than that. The cues of one
// page come in time order, each starting at or after the end of the one
// before. Memory is fixed whatever the input.
#ifndef MELVIR_STREAM_TELETEXT_H
#define MELVIR_STREAM_TELETEXT_H

#include <cstddef>
#include <string>

#include "platform/types.h"

// PTS count 90 kHz ticks in 33 bits.
const u64 kPtsPerSecond = 90000;
const u64 kPtsWrap = u64(1) << 33;
const u64 kCueLimit = 10 * kPtsPerSecond;
// A page whose transmission has not been closed by the next header this
// long after its own is taken as complete (rows follow their header within
// a few fields).
const u64 kReceptionLimit = 2 * kPtsPerSecond;

// One page the teletext descriptor (0x56) names.
struct TeletextEntry {
  char language[4];  // ISO 639-2, "" when not printable
  u8 type;           // 2 subtitles, 5 subtitles for the hearing impaired
  u16 page;          // magazine (1-8) times 0x100 plus the page number: 0x888
};
inline bool IsSubtitleEntry(const TeletextEntry& e) { return e.type == 2 || e.type == 5; }

// The entries of a teletext descriptor as libdvbpsi decodes it (tag 0x56;
// none for another); at most capacity, returns how many.
struct dvbpsi_descriptor_s;
u32 DecodeTeletextEntries(dvbpsi_descriptor_s* descriptor, TeletextEntry* entries, u32 capacity);
// The same of a descriptor's body (after tag and length).
u32 ReadTeletextDescriptor(const u8* body, u8 length, TeletextEntry* entries, u32 capacity);
// The same of what FFmpeg's demuxer keeps of it: the stream's "language"
// tag (one code per entry, comma-separated: "deu,eng") and its extradata
// (each entry's last two bytes: type and magazine, page).
u32 ReadDemuxedTeletext(const char* languages, const u8* extradata, size_t size, TeletextEntry* entries,
                        u32 capacity);

struct TeletextCue {
  u16 page;
  u64 startPts, endPts;  // as the decoder was given them; endPts > startPts
  std::string text;      // UTF-8, rows joined by "\n", no empty row
};
typedef void (*TeletextCueSink)(void* context, const TeletextCue& cue);

const u32 kTeletextPages = 8;    // subtitle pages decoded at once
const u32 kTeletextRows = 24;    // display rows X/1-X/24 (X/25 is not one at level 1.5)
const u32 kTeletextColumns = 40;

struct TeletextPage {
  u16 number;          // 0x100-0x8FF
  u8 region;           // the G0 designation its language implies for C12-C14: group << 3
  bool receiving;      // between its header and the next that closes it
  u64 headerPts;
  u8 national;         // C12-C14 of the header, C12 the high bit
  int designation;     // X/28/0's G0 designation, -1 none
  u8 rows[kTeletextRows][kTeletextColumns];  // 7-bit codes, a space where parity failed
  bool showing;
  u64 shownFrom;       // start of the piece of the cue not yet given
  u64 lastEnd;         // end of the last cue given
  std::string shown;   // the text on screen
  std::string text;    // the page's text as last composed
};

struct TeletextDecoder {
  TeletextCueSink sink;
  void* context;
  u32 pageCount;
  TeletextPage pages[kTeletextPages];
  int receiving[8];         // per magazine (0 is 8): the page in transmission, -1 none of ours
  int magazineDesignation[8];  // per magazine: M/29/0's G0 designation, -1 none
  bool ptsKnown;            // FeedTeletextPes's unwrapping
  u64 pts;                  // the latest PTS, unwrapped
  TeletextCue cue;          // the cue being given (its text's buffer kept)
};

// Forgets everything; cues go to sink.
void ResetTeletext(TeletextDecoder* decoder, TeletextCueSink sink, void* context);
// Decodes page (0x100-0x8FF; 0x0xx means magazine 8) of the given language
// (ISO 639-2, or "" / null: the Western European group). False when the page
// number is not one or kTeletextPages are taken; a page already added is
// not added twice.
bool AddTeletextPage(TeletextDecoder* decoder, u16 page, const char* language);

// The PES data field (from data_identifier on, as a demuxer gives the
// payload) of one PES, with its PTS already unwrapped by the caller (a
// 64-bit count that runs on across the 33-bit wrap, below 2^62).
void FeedTeletextData(TeletextDecoder* decoder, const u8* data, size_t length, u64 pts);
// The data field of a whole teletext PES (private stream 1, its header
// included, cut to its declared length): from pes + *data (the
// data_identifier), *dataLength bytes; its 33-bit PTS in *pts when *hasPts.
// False when it is no private-stream PES.
bool TeletextPesData(const u8* pes, size_t length, size_t* data, size_t* dataLength, bool* hasPts, u64* pts);
// A whole PES packet (its header included), as the tests and the fuzzer
// give it: its 33-bit PTS is unwrapped here against the one before (a jump
// of up to 2^32 either way); one without a PTS takes the latest. False when
// it is no private-stream PES.
bool FeedTeletextPes(TeletextDecoder* decoder, const u8* pes, size_t length);
// Time has reached pts (unwrapped) without teletext, e.g. from the video:
// pieces of long cues are given and stale transmissions closed.
void AdvanceTeletext(TeletextDecoder* decoder, u64 pts);
// The recording ends at endPts: every page still shown ends there (within
// kCueLimit).
void FinishTeletext(TeletextDecoder* decoder, u64 endPts);

#endif
