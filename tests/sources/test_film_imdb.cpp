// The IMDb branch of the film extraction on pages made for each rule: the fields of the film
// page, the cast table and its scratch file, the title id and the plot-summary synopsis.
#include <gtest/gtest.h>

#include <string>

#include "program/variables.h"
#include "sources/extract.h"
#include "sources/film_card.h"
#include "sources/hosts.h"
#include "tests/sources/test_film_support.h"

using filmtest::ReadBytes;
using filmtest::ScratchDirectory;

namespace {

const std::string kSep(77, '-');

// A film page with one piece of HTML for every marker the branch reads.
std::string FilmPage() {
  return "<html><head><title>Blade Runner (1982)</title></head><body>\n"
         "<a href=\"/Sections/Genres/Sci-Fi/\">Sci-Fi</a> / "
         "<a href=\"/Sections/Genres/Thriller/\">Thriller</a>\n"
         "<a href=\"/Sections/Countries/USA/\">USA</a> / "
         "<a href=\"/Sections/Countries/Hong Kong/\">Hong Kong</a>\n"
         "<h5>Directed by</b><br><a href=\"/name/nm0000631/\">Ridley Scott</a><br>\n"
         "<a href=\"/List?certificates=Spain:13&&heading=14;Spain:13\">Spain:13</a>\n"
         "<a href=\"/rg/title-tease/rating-stars/title/tt0083658/ratings\"><b>8.3/10</b></a>\n"
         "<table><tr><td>Cast overview, first billed only:</td></tr>"
         "<tr><td><a href=\"/name/nm0000148/\">Harrison Ford</a></td></tr>"
         "<tr><td><a href=\"/name/nm0000442/\">Rutger Hauer</a></td></tr>"
         "<tr><td colspan=\"2\">more</td></tr></table>\n"
         "<a href=\"http://" + sourceHosts().imdbPro + "/title/tt0083658/\">IMDbPro</a>\n"
         "</body></html>\n";
}

FilmCard ReadPage(const std::string& page, Text* titleId = nullptr) {
  program.pageText = page;
  FilmCard card;
  Text id = ReadImdbFilmPage(card);
  if (titleId) *titleId = id;
  return card;
}

// Replaces the first occurrence of a piece of the standard page.
std::string Edited(std::string page, const std::string& from, const std::string& to) {
  const auto at = page.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) page.replace(at, from.size(), to);
  return page;
}

class FilmImdb : public ::testing::Test {
 protected:
  void SetUp() override { ResetProgramVariables(); }
  ScratchDirectory dir_;
};

}  // namespace

TEST_F(FilmImdb, ReadsEveryFieldOfTheFilmPage) {
  Text id;
  const FilmCard card = ReadPage(FilmPage(), &id);
  EXPECT_EQ(card.title, "Blade Runner (1982)");
  EXPECT_EQ(card.genre, "Sci-Fi");            // only the first genre
  EXPECT_EQ(card.nationality, "USA");         // only the first country
  EXPECT_EQ(card.director, "Ridley Scott");
  EXPECT_EQ(card.moralRating, "13");
  EXPECT_EQ(card.rating, "8.3 de 10");
  EXPECT_EQ(card.actors, "Harrison Ford\r\nRutger Hauer");
  EXPECT_EQ(card.synopsis, "");               // comes from the second page only
  EXPECT_EQ(card.coverPath, "");              // IMDb films have no cover
  EXPECT_EQ(id, "tt0083658");
}

TEST_F(FilmImdb, MissingTitleLeavesTheOtherFields) {
  const FilmCard card =
      ReadPage(Edited(FilmPage(), "<title>Blade Runner (1982)</title>", "<h1>Blade Runner</h1>"));
  EXPECT_EQ(card.title, "");
  EXPECT_EQ(card.genre, "Sci-Fi");
  EXPECT_EQ(card.director, "Ridley Scott");
  EXPECT_EQ(card.rating, "8.3 de 10");
  EXPECT_EQ(card.actors, "Harrison Ford\r\nRutger Hauer");
}

TEST_F(FilmImdb, DirectorRules) {
  const std::string link = "<a href=\"/name/nm0000631/\">Ridley Scott</a><br>";
  auto director = [&](const std::string& replacement) {
    return ReadPage(Edited(FilmPage(), link, replacement)).director;
  };
  // Without ">" the whole text is the name.
  EXPECT_EQ(director("Ridley Scott</a><br>"), "Ridley Scott");
  // Several directors: only the first one's anchor.
  EXPECT_EQ(director("<a href=\"/name/nm1/\">Joel Coen</a><br><a href=\"/name/nm2/\">Ethan Coen</a><br>"),
            "Joel Coen");
  // Only the first ">" closes the tag; later ones belong to the name.
  EXPECT_EQ(director("<a href=x>A > B</a><br>"), "A > B");
  // No "</a><br>" anywhere after the marker: empty.
  EXPECT_EQ(director("<a href=x>Ridley Scott</a>"), "");
}

TEST_F(FilmImdb, RatingRules) {
  const std::string rating = "tt0083658/ratings\"><b>8.3/10</b>";
  auto ratingOf = [&](const std::string& replacement) {
    return ReadPage(Edited(FilmPage(), rating, replacement)).rating;
  };
  EXPECT_EQ(ratingOf("tt1/ratings\"><b>7.9/10</b>"), "7.9 de 10");
  // Without "<b>" the text loses its first two characters.
  EXPECT_EQ(ratingOf("xy7.9/10</b>"), "7.9 de 10");
  EXPECT_EQ(ratingOf("7.9/10</b>"), "9 de 10");
  // Every "/" is read as " de ".
  EXPECT_EQ(ratingOf("tt1/r\"><b>1/2/3</b>"), "1 de 2 de 3");
  EXPECT_EQ(ratingOf("tt1/r\"><b></b>"), "");
}

TEST_F(FilmImdb, CastLoop) {
  auto cast = [](const std::string& table) { return ReadImdbCast(table); };
  EXPECT_EQ(cast("<a href=1>Ann</a><a href=2>Bob</a><a href=3>Cid</a>"), "Ann\r\nBob\r\nCid");
  EXPECT_EQ(cast(""), "");
  EXPECT_EQ(cast("no anchors here</a>"), "");
  // An anchor without "</a>" ends the loop; the names before it stay.
  EXPECT_EQ(cast("<a href=1>Ann</a><a href=2>Bob"), "Ann");
  // An anchor whose opening tag never closes ends it too.
  EXPECT_EQ(cast("<a href=1>Ann</a><a href=2 Bob"), "Ann");
  // Every anchor gives a line, whatever it links to; the text between the tags is unchanged.
  EXPECT_EQ(cast("<a href=\"/name/1/\"><b>Ann</b></a> as <a href=\"/character/9/\">Roy</a>"),
            "<b>Ann</b>\r\nRoy");
  EXPECT_EQ(cast("<a href=1></a><a href=2>Bob</a>"), "\r\nBob");
  // Markup between the anchors is skipped.
  EXPECT_EQ(cast("<tr><td><a href=1 class=x>Ann</a></td><td>...</td></tr><a href=2>Bob</a>"),
            "Ann\r\nBob");
}

TEST_F(FilmImdb, CastFileHoldsTheRawTableWholeEachTime) {
  ReadPage(FilmPage());
  const std::string table =
      ", first billed only:</td></tr><tr><td><a href=\"/name/nm0000148/\">Harrison Ford</a></td></tr>"
      "<tr><td><a href=\"/name/nm0000442/\">Rutger Hauer</a></td></tr><tr>";
  EXPECT_EQ(ReadBytes(kCastFile), table + "\r\n");

  // A shorter table later: the file holds it alone, not the older table's tail behind it.
  ReadPage(Edited(FilmPage(), table, "<a href=1>Ann</a>"));
  EXPECT_EQ(ReadBytes(kCastFile), "<a href=1>Ann</a>\r\n");

  // A page without a cast table writes just CR LF.
  const FilmCard card = ReadPage(Edited(FilmPage(), ">Cast overview", ">Reparto"));
  EXPECT_EQ(card.actors, "");
  EXPECT_EQ(ReadBytes(kCastFile), "\r\n");
}

TEST_F(FilmImdb, CastFileThatCannotBeWrittenIsIgnored) {
  std::filesystem::create_directory(kCastFile);  // a folder in its place
  const FilmCard card = ReadPage(FilmPage());
  EXPECT_EQ(card.actors, "Harrison Ford\r\nRutger Hauer");
  EXPECT_EQ(card.rating, "8.3 de 10");
  EXPECT_TRUE(std::filesystem::is_directory(kCastFile));
}

TEST_F(FilmImdb, TitleIdComesOnlyFromTheProfessionalSiteLink) {
  auto idOf = [](const std::string& page) {
    Text id;
    ReadPage(page, &id);
    return id;
  };
  const std::string pro = "http://" + sourceHosts().imdbPro + "/title/tt0083658/\">";
  EXPECT_EQ(idOf(FilmPage()), "tt0083658");
  // Another host, another scheme or letter case of the host do not count.
  EXPECT_EQ(idOf(Edited(FilmPage(), pro, "http://" + sourceHosts().imdb + "/title/tt0083658/\">")), "");
  EXPECT_EQ(idOf(Edited(FilmPage(), pro, "https://" + sourceHosts().imdbPro + "/title/tt0083658/\">")), "");
  EXPECT_EQ(idOf(Edited(FilmPage(), pro, "HTTP://" + sourceHosts().imdbPro + "/title/tt0083658/\">")), "");
  // The end marker is slash, quote, greater-than; a link without it gives no id.
  EXPECT_EQ(idOf(Edited(FilmPage(), pro, "http://" + sourceHosts().imdbPro + "/title/tt0083658\">")), "");
}

TEST_F(FilmImdb, PageWithoutTitleIdFetchesNothing) {
  // Without a title id the branch ends before the second page: pageText keeps the film page.
  const std::string page =
      Edited(FilmPage(), "http://" + sourceHosts().imdbPro + "/title/", "http://elsewhere/title/");
  program.pageText = page;
  FilmCard card;
  ExtractImdbFilm(card);
  EXPECT_EQ(program.pageText, page);
  EXPECT_EQ(card.synopsis, "");
  EXPECT_EQ(card.title, "Blade Runner (1982)");
  EXPECT_EQ(card.coverPath, "");
}

TEST_F(FilmImdb, PlotParagraphsUnderTheirWriters) {
  const std::string page =
      "<p class=\"plotpar\">First part.</p><i>Written by "
      "<a href=\"/SearchPlotWriters?Jane%20Doe\">Jane Doe</a></i>"
      "<p class=\"plotpar\" id=2>Second <b>part</b>.</p><i>Written by "
      "<a href=\"/SearchPlotWriters?%7Bx%7D\">x</a></i>";
  EXPECT_EQ(ReadImdbPlotSummary(page),
            kSep + "\r\n[AUTOR]: Jane%20Doe\r\n" + kSep + "\r\nFirst part.\r\n\r\n" +
            kSep + "\r\n[AUTOR]: %7Bx%7D\r\n" + kSep + "\r\nSecond <b>part</b>.\r\n");
}

TEST_F(FilmImdb, PlotParagraphEdgeCases) {
  auto synopsis = [](const std::string& page) { return ReadImdbPlotSummary(page); };
  auto entry = [](const std::string& writer, const std::string& paragraph) {
    return kSep + "\r\n[AUTOR]: " + writer + "\r\n" + kSep + "\r\n" + paragraph + "\r\n";
  };
  EXPECT_EQ(synopsis(""), "");
  EXPECT_EQ(synopsis("<p>no marked paragraph</p>"), "");
  // No writer link after the paragraph: nothing after the colon and blank.
  EXPECT_EQ(synopsis("<p class=\"plotpar\">Alone.</p>"), entry("", "Alone."));
  // A writer link before the paragraph does not count.
  EXPECT_EQ(synopsis("<a href=\"/SearchPlotWriters?W\">W</a><p class=\"plotpar\">P.</p>"),
            entry("", "P."));
  // The first writer link after a paragraph's end serves it, even one that follows a later
  // paragraph.
  EXPECT_EQ(synopsis("<p class=\"plotpar\">A.</p><p class=\"plotpar\">B.</p>"
                     "<a href=\"/SearchPlotWriters?Kim\">Kim</a>"),
            entry("Kim", "A.") + "\r\n" + entry("Kim", "B."));
  EXPECT_EQ(synopsis("<p class=\"plotpar\">A.</p><a href=\"/SearchPlotWriters?Ann\">"
                     "<p class=\"plotpar\">B.</p><a href=\"/SearchPlotWriters?Bob\">"),
            entry("Ann", "A.") + "\r\n" + entry("Bob", "B."));
  // A writer link that never closes with quote and ">" gives an empty writer.
  EXPECT_EQ(synopsis("<p class=\"plotpar\">A.</p><a href=\"/SearchPlotWriters?Ann"), entry("", "A."));
  // A paragraph without "</p>" ends the loop; those before it stay.
  EXPECT_EQ(synopsis("<p class=\"plotpar\">A.</p><p class=\"plotpar\">B."), entry("", "A."));
  EXPECT_EQ(synopsis("<p class=\"plotpar\""), "");
  // Line breaks inside a paragraph are kept as they are.
  EXPECT_EQ(synopsis("<p class=\"plotpar\">a\r\nb</p>"), entry("", "a\r\nb"));
}

TEST_F(FilmImdb, PlotSummaryOfAHostilePageStaysBounded) {
  // Many empty paragraphs and one huge writer link after them: each paragraph would repeat the
  // writer, so the synopsis stops growing past its bound.
  std::string page;
  for (int i = 0; i < 20000; ++i) page += "<p class=\"plotpar\"></p>";
  page += "<a href=\"/SearchPlotWriters?" + std::string(200000, 'w') + "\">";
  const Text s = ReadImdbPlotSummary(page);
  EXPECT_GE(s.size(), kMaxSynopsisBytes);
  EXPECT_LT(s.size(), kMaxSynopsisBytes + 2 * page.size());
  // The last entry is whole: separator, empty paragraph, one CR LF.
  EXPECT_EQ(s.substr(s.size() - kSep.size() - 4), kSep + "\r\n\r\n");
  // A page of many paragraphs with short writers is read whole.
  std::string many;
  for (int i = 0; i < 5000; ++i)
    many += "<p class=\"plotpar\">p</p><a href=\"/SearchPlotWriters?w\">";
  const std::string one = kSep + "\r\n[AUTOR]: w\r\n" + kSep + "\r\np\r\n\r\n";
  EXPECT_EQ(ReadImdbPlotSummary(many).size(), 5000 * one.size() - 2);
}
