// The catalogue page as text: each card once, and every string the
// broadcast or the disk gave shown as text, whichever field holds it. The
// browser test (catalogue_browser.sh) checks how a browser shows it.
#include <gtest/gtest.h>

#include <string>

#include "report/catalogue_page.h"

namespace {

const char kHostile[] = "<script>alert(\"x\")</script> & 'q'";
const char kEscaped[] = "&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; &amp; &#39;q&#39;";

CatalogueCard Card(u32 index) {
  CatalogueCard c{};
  c.index = index;
  c.name = "Film " + std::to_string(index);
  c.durationS = -1;
  c.health = "no errors";
  return c;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(CataloguePage, EveryStringIsEscaped) {
  std::string CatalogueCard::*fields[] = {&CatalogueCard::name, &CatalogueCard::service, &CatalogueCard::title,
                                          &CatalogueCard::date, &CatalogueCard::time, &CatalogueCard::health,
                                          &CatalogueCard::thumbnail};
  for (auto field : fields) {
    CataloguePage page;
    page.cards = {Card(1), Card(2)};
    page.cards[1].*field = kHostile;
    std::string html;
    RenderCataloguePage(page, &html);
    EXPECT_EQ(Count(html, "<script"), 0u) << html;
    EXPECT_EQ(Count(html, kEscaped), 1u) << html;
  }
  CataloguePage page;
  page.source = kHostile;
  page.cards = {Card(1)};
  std::string html;
  RenderCataloguePage(page, &html);
  EXPECT_EQ(Count(html, "<script"), 0u) << html;
  // In the heading, and single-quoted in the command.
  EXPECT_EQ(Count(html, kEscaped), 1u) << html;
  EXPECT_EQ(Count(html, "melvir extract -n 1 &#39;&lt;script&gt;"), 1u) << html;
}

TEST(CataloguePage, OneCardEachWithItsCommand) {
  CataloguePage page;
  page.source = "disk.img";
  for (u32 i : {3u, 7u, 12u}) page.cards.push_back(Card(i));
  page.cards[0].sizeBytes = 3u << 30;
  page.cards[0].durationS = 3900;
  page.cards[1].sizeBytes = 350u << 20;
  page.cards[1].durationS = 2700;
  page.cards[2].durationS = 58.2;
  std::string html;
  RenderCataloguePage(page, &html);
  EXPECT_EQ(Count(html, "<article class=\"card\""), 3u);
  for (const char* command : {"melvir extract -n 3 disk.img<", "melvir extract -n 7 disk.img<",
                              "melvir extract -n 12 disk.img<"})
    EXPECT_EQ(Count(html, command), 1u) << command;
  for (const char* shown : {"3.00 GiB", "350.0 MiB", ">1 h 05 min<", ">45 min<", ">58 s<", "3 recordings, 3.34 GiB"})
    EXPECT_EQ(Count(html, shown), 1u) << shown;
  EXPECT_EQ(Count(html, "http"), 0u);
  EXPECT_EQ(Count(html, "<script"), 0u);
}

}  // namespace
