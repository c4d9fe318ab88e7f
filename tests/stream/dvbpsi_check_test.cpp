// melvir-ts-si's sections as libdvbpsi itself decodes them (its CRC check
// included), apart from MELVIR's reading of them.
#include <gtest/gtest.h>

#include <cstring>

extern "C" {
#include <dvbpsi/dvbpsi.h>
#include <dvbpsi/psi.h>
#include <dvbpsi/descriptor.h>
#include <dvbpsi/demux.h>
#include <dvbpsi/eit.h>
#include <dvbpsi/tot.h>
#include <dvbpsi/dr_4d.h>
}

#include "streams.h"

namespace {

struct Seen {
  int eits = 0, tdts = 0, tots = 0;
  uint64_t firstTdt = 0;
  std::string title;
  uint8_t lto[13] = {};
};

void OnEit(void* context, dvbpsi_eit_t* eit) {
  Seen* s = static_cast<Seen*>(context);
  ++s->eits;
  if (eit->p_first_event)
    for (dvbpsi_descriptor_t* d = eit->p_first_event->p_first_descriptor; d; d = d->p_next)
      if (dvbpsi_short_event_dr_t* se = d->i_tag == 0x4D ? dvbpsi_DecodeShortEventDr(d) : nullptr)
        if (s->title.empty()) s->title.assign((const char*)se->i_event_name, se->i_event_name_length);
  dvbpsi_eit_delete(eit);
}

void OnTime(void* context, dvbpsi_tot_t* tot) {
  Seen* s = static_cast<Seen*>(context);
  if (tot->i_table_id == 0x70 && s->tdts++ == 0) s->firstTdt = tot->i_utc_time;
  if (tot->i_table_id == 0x73) {
    ++s->tots;
    if (tot->p_first_descriptor && tot->p_first_descriptor->i_length == 13)
      std::memcpy(s->lto, tot->p_first_descriptor->p_data, 13);
  }
  dvbpsi_tot_delete(tot);
}

void OnNew(dvbpsi_t* d, uint8_t table, uint16_t extension, void* context) {
  if (table == 0x4E) dvbpsi_eit_attach(d, table, extension, OnEit, context);
  if (table == 0x70 || table == 0x73) dvbpsi_tot_attach(d, table, extension, OnTime, context);
}

void Quiet(dvbpsi_t*, const dvbpsi_msg_level_t, const char*) {}

TEST(StreamTestData, LibdvbpsiDecodesTheAddedSections) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed: the test streams cannot be made";
  std::string path = MakeStream("checked", Mpeg2TwoLanguages(5),
                                "--utc 1241383440 --offset '-90|1241383441|-30' "
                                "--event '1241383000|3600|fra|Titre|Texte'");
  ASSERT_FALSE(path.empty());
  std::vector<unsigned char> bytes = ReadWhole(path);
  Seen seen;
  dvbpsi_t* eit = dvbpsi_new(Quiet, DVBPSI_MSG_NONE);
  dvbpsi_t* time = dvbpsi_new(Quiet, DVBPSI_MSG_NONE);
  ASSERT_TRUE(dvbpsi_AttachDemux(eit, OnNew, &seen) && dvbpsi_AttachDemux(time, OnNew, &seen));
  for (size_t at = 0; at + 188 <= bytes.size(); at += 188) {
    int pid = (bytes[at + 1] & 0x1F) << 8 | bytes[at + 2];
    if (pid == 0x12) dvbpsi_packet_push(eit, &bytes[at]);
    if (pid == 0x14) dvbpsi_packet_push(time, &bytes[at]);
  }
  dvbpsi_DetachDemux(eit);
  dvbpsi_DetachDemux(time);
  dvbpsi_delete(eit);
  dvbpsi_delete(time);
  EXPECT_EQ(seen.eits, 1);  // one version, its repeats dropped
  EXPECT_EQ(seen.tdts, 3);  // at 0, 2 and 4 s
  EXPECT_EQ(seen.tots, 3);
  EXPECT_EQ(seen.firstTdt, 0xD6AA204400ull);  // MJD 54954 is 2009-05-03; 20:44:00
  EXPECT_EQ(seen.title, "Titre");
  const uint8_t lto[13] = {'F', 'R', 'A', 0x03, 0x01, 0x30, 0xD6, 0xAA, 0x20, 0x44, 0x01, 0x00, 0x30};
  EXPECT_EQ(std::memcmp(seen.lto, lto, 13), 0);
}

}  // namespace
