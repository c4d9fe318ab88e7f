// libzvbi's PES demultiplexer and teletext decoder, as a reference.
#include "zvbi_pages.h"

#ifdef MELVIR_HAVE_ZVBI

#include <libzvbi.h>

#include "stream/pes.h"
#include "teletext_pages.h"

namespace {

struct Run {
  vbi_decoder* vbi;
  int page;
  std::vector<std::string> texts;
};

vbi_bool OnLines(vbi_dvb_demux*, void* user, const vbi_sliced* sliced, unsigned lines, int64_t pts) {
  Run* run = static_cast<Run*>(user);
  vbi_decode(run->vbi, const_cast<vbi_sliced*>(sliced), int(lines), double(pts) / 90000);
  return TRUE;
}

std::string Trim(const std::string& s) {
  size_t first = s.find_first_not_of(' '), last = s.find_last_not_of(' ');
  return first == std::string::npos ? "" : s.substr(first, last - first + 1);
}

void OnPage(vbi_event* event, void* user) {
  Run* run = static_cast<Run*>(user);
  if (event->ev.ttx_page.pgno != run->page) return;
  vbi_page page;
  if (!vbi_fetch_vt_page(run->vbi, &page, event->ev.ttx_page.pgno, event->ev.ttx_page.subno,
                         VBI_WST_LEVEL_2p5, 25, FALSE))
    return;
  std::vector<char> buffer(25 * 41 * 4 + 1);
  int n = vbi_print_page_region(&page, buffer.data(), int(buffer.size()), "UTF-8", TRUE, FALSE, 0, 1, 40, 24);
  vbi_unref_page(&page);
  std::string text, printed(buffer.data(), n > 0 ? size_t(n) : 0), row;
  for (size_t at = 0; at <= printed.size(); ++at) {
    if (at < printed.size() && printed[at] != '\n') {
      row += printed[at];
      continue;
    }
    row = Trim(row);
    if (!row.empty()) text += (text.empty() ? "" : "\n") + row;
    row.clear();
  }
  if (!text.empty() && (run->texts.empty() || run->texts.back() != text)) run->texts.push_back(text);
}

}  // namespace

const char* ZvbiMissing() { return ""; }

std::vector<std::string> ZvbiPageTexts(const std::vector<std::vector<uint8_t>>& pes, int page, int region) {
  Run run;
  run.vbi = vbi_decoder_new();
  run.page = page;
  vbi_teletext_set_level(run.vbi, VBI_WST_LEVEL_2p5);
  vbi_teletext_set_default_region(run.vbi, region);
  vbi_event_handler_register(run.vbi, VBI_EVENT_TTX_PAGE, OnPage, &run);
  vbi_dvb_demux* demux = vbi_dvb_pes_demux_new(OnLines, &run);
  for (const std::vector<uint8_t>& p : pes) vbi_dvb_demux_feed(demux, p.data(), unsigned(p.size()));
  // The demultiplexer gives a PES's lines when lines of the next come: a
  // header of no page in magazine 1, a field later.
  uint64_t pts = 0;
  if (!pes.empty()) PesPts(pes.back().data(), pes.back().size(), &pts);
  ttx::Header none;
  none.magazine = 1;
  none.page = 0xFF;
  std::vector<uint8_t> flush = ttx::Pes(pts + 1800, {ttx::PageHeader(none)});
  vbi_dvb_demux_feed(demux, flush.data(), unsigned(flush.size()));
  vbi_dvb_demux_delete(demux);
  vbi_decoder_delete(run.vbi);
  return run.texts;
}

#else

const char* ZvbiMissing() { return "libzvbi-dev (pkg-config zvbi-0.2) is not installed"; }

std::vector<std::string> ZvbiPageTexts(const std::vector<std::vector<uint8_t>>&, int, int) { return {}; }

#endif
