// A catalogue made straight from stream files, for the browser test and the
// screenshot: what `melvir catalog` writes, without a recorder disk.
// Usage: catalogue-sample DIR FILE|name|service|title|date|time|seconds|health...
// Writes DIR/index.html and DIR/thumbs/INDEX.jpg, INDEX counting from 1.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "picture/thumbnail.h"
#include "report/catalogue_page.h"

namespace {

bool ReadString(void* context, u64 offset, u8* buffer, u32 count, u32* got) {
  const std::string* s = static_cast<const std::string*>(context);
  *got = offset >= s->size() ? 0 : u32(s->size() - offset < count ? s->size() - offset : count);
  if (*got) s->copy(reinterpret_cast<char*>(buffer), *got, offset);
  return true;
}

bool AddCard(const std::string& dir, const std::string& spec, CataloguePage* page) {
  std::string f[8];
  std::istringstream in(spec);
  for (std::string& field : f) std::getline(in, field, '|');
  std::ifstream file(f[0], std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (!file.good() && !file.eof()) return false;
  CatalogueCard c{};
  c.index = u32(page->cards.size() + 1);
  c.name = f[1], c.service = f[2], c.title = f[3], c.date = f[4], c.time = f[5];
  c.durationS = f[6].empty() ? -1 : std::atof(f[6].c_str());
  c.health = f[7];
  c.damaged = f[7] != "no errors";
  c.sizeBytes = bytes.size();
  Thumbnail t;
  if (MakeThumbnail(StreamSource{ReadString, &bytes, bytes.size()}, &t)) {
    c.thumbnail = "thumbs/" + std::to_string(c.index) + ".jpg";
    c.thumbWidth = t.width;
    c.thumbHeight = t.height;
    std::ofstream jpeg(dir + "/" + c.thumbnail, std::ios::binary);
    jpeg.write(reinterpret_cast<const char*>(t.jpeg.data()), std::streamsize(t.jpeg.size()));
    if (!jpeg.good()) return false;
  }
  page->cards.push_back(c);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: catalogue-sample DIR FILE|name|service|title|date|time|seconds|health...\n");
    return 2;
  }
  std::string dir = argv[1];
  mkdir(dir.c_str(), 0777);
  mkdir((dir + "/thumbs").c_str(), 0777);
  CataloguePage page;
  page.source = "recorder.img";
  for (int i = 2; i < argc; ++i)
    if (!AddCard(dir, argv[i], &page)) {
      std::fprintf(stderr, "catalogue-sample: %s: cannot be read or written\n", argv[i]);
      return 1;
    }
  if (!WriteCataloguePage((dir + "/index.html").c_str(), page)) {
    std::fprintf(stderr, "catalogue-sample: %s/index.html: cannot be written\n", dir.c_str());
    return 1;
  }
  return 0;
}
