// What the descriptors of the tables say, decoded through libdvbpsi into
// the plain records of stream/tables.h.
#ifndef MELVIR_STREAM_DESCRIPTORS_H
#define MELVIR_STREAM_DESCRIPTORS_H

#include "stream/tables.h"

struct dvbpsi_descriptor_s;

// ISO 639 language (0x0A), teletext (0x56), subtitling (0x59), and AC-3
// (0x6A) / E-AC-3 (0x7A), which libdvbpsi does not decode: known by tag.
void DescribeStream(dvbpsi_descriptor_s* first, ElementaryStream* stream);
// The service descriptor (0x48).
void DescribeService(dvbpsi_descriptor_s* first, ServiceEntry* service);
// The short event descriptor (0x4D), the extended event descriptors (0x4E)
// of the first language they name, and the first content descriptor
// (0x54); *budget counts the extended text kept, up to kMaxExtendedBytes.
void DescribeEvent(dvbpsi_descriptor_s* first, EventEntry* event, u32* budget);
// The first entry of the local time offset descriptor (0x58).
void ReadLocalOffset(dvbpsi_descriptor_s* first, LocalOffset* offset);

#endif
