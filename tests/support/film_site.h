#pragma once
// Both film sites on one in-process server for the tests that drive the whole program: the
// pages of tests/data/e2e, kept in Windows-1252 as the sites serve them, under the targets the
// program asks for, and two covers made here. Every request is recorded in arrival order
// (site.server.Targets()).
//
//   Culturalia  /bus/resu.php?texto=Cr%EDa%20cuervos&donde=1 and ...texto=Saura&donde=1
//                 -> three hits: 2001 "Cría cuervos", 2002 "Ana y los lobos", 2003 "¡Ay, Carmela!"
//               /art/ver.php?art=2001 (cover cria_cuervos.jpg, 300 x 440: red above, blue below)
//               /art/ver.php?art=2002 (cover ana_lobos.jpg, 400 x 550: green above, yellow below)
//               /art/ver.php?art=2003 (no cover)
//               /bus/resu.php?texto=colmena&donde=1 -> one hit, 2004 "El espíritu de la colmena",
//                 whose cover is named with a blank and an accent: "espíritu colmena.jpg",
//                 served as /imatges/articulos/esp%EDritu%20colmena.jpg (200 x 275)
//   IMDb        /find?q=Am%E9lie;tt=1 -> tt0211915 (exact match), tt0307567 (popular; a (VG) dropped)
//               /title/tt0211915 and /title/tt0211915/plotsummary (two paragraphs, two writers)
//               /title/tt0307567 (no professional-site link, so no plot summary)
//
// The IMDb film page links its professional-site page on the server's own host ("{{HOST}}" in
// the fixture), since the tests point every source host at this server.
#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QPainter>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>

#include "tests/support/test_paths.h"
#include "tests/support/test_server.h"

// Gadget texts in failure messages as readable UTF-8, not as rows of 2-byte objects.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toUtf8().toStdString() << '"';
}

namespace e2e {

inline std::string FixtureBytes(const std::string& name) {
  std::ifstream in(testsupport::TestDataDir() / "e2e" / name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A cover whose upper and lower halves have one colour each, so that a look at the cover box
// tells which cover is shown and that it is upright.
inline std::string TwoColourJpeg(int width, int height, QColor top, QColor bottom) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(bottom);
  QPainter painter(&image);
  painter.fillRect(0, 0, width, height / 2, top);
  painter.end();
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPG", 95);
  return bytes.toStdString();
}

inline const QColor kCriaTop(200, 30, 30), kCriaBottom(30, 60, 200);
inline const QColor kAnaTop(30, 150, 60), kAnaBottom(230, 200, 40);

class FilmSite {
 public:
  FilmSite() {
    const std::string host = server.Host();
    criaCover = TwoColourJpeg(300, 440, kCriaTop, kCriaBottom);
    anaCover = TwoColourJpeg(400, 550, kAnaTop, kAnaBottom);
    colmenaCover = TwoColourJpeg(200, 275, kAnaBottom, kCriaBottom);
    Page("/bus/resu.php?texto=Cr%EDa%20cuervos&donde=1", "culturalia_search.html");
    Page("/bus/resu.php?texto=Saura&donde=1", "culturalia_search.html");
    Page("/art/ver.php?art=2001", "culturalia_2001.html");
    Page("/art/ver.php?art=2002", "culturalia_2002.html");
    Page("/art/ver.php?art=2003", "culturalia_2003.html");
    Page("/bus/resu.php?texto=colmena&donde=1", "culturalia_search_colmena.html");
    Page("/art/ver.php?art=2004", "culturalia_2004.html");
    Picture("/imatges/articulos/esp%EDritu%20colmena.jpg", colmenaCover);
    Picture("/imatges/articulos/cria_cuervos.jpg", criaCover);
    Picture("/imatges/articulos/ana_lobos.jpg", anaCover);
    Page("/find?q=Am%E9lie;tt=1", "imdb_find_amelie.html");
    Page("/title/tt0211915", "imdb_tt0211915.html");
    Page("/title/tt0211915/plotsummary", "imdb_tt0211915_plot.html");
    Page("/title/tt0307567", "imdb_tt0307567.html");
  }
  ~FilmSite() { testsupport::RestoreSourceHosts(); }
  FilmSite(const FilmSite&) = delete;
  FilmSite& operator=(const FilmSite&) = delete;

  // The bytes served for a fixture page.
  std::string Served(const std::string& name) const {
    std::string page = FixtureBytes(name);
    for (auto at = page.find("{{HOST}}"); at != std::string::npos; at = page.find("{{HOST}}"))
      page.replace(at, 8, server.Host());
    return page;
  }

  testsupport::TestServer server;
  std::string criaCover, anaCover, colmenaCover;

 private:
  void Page(const std::string& target, const std::string& name) {
    server.Route(target, {.body = Served(name)});
  }
  void Picture(const std::string& target, const std::string& bytes) {
    server.Route(target, {.body = bytes, .contentType = "image/jpeg"});
  }
};

}  // namespace e2e
