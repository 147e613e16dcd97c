// Reading the hits of a search page into the titles list: both recipes on whole search pages
// (tests/data/search/) and on small pages that each bend one marker, the hits whose markers are
// missing, and hostile pages (markers at the very end, a megabyte of markers, zero bytes).
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "program/gadgets.h"
#include "program/variables.h"
#include "services/gui/gui.h"
#include "services/text/text.h"
#include "sources/sources.h"
#include "tests/sources/test_film_support.h"

namespace {

struct Row {
  std::string title, id, letter;
  bool operator==(const Row&) const = default;
};

void PrintTo(const Row& row, std::ostream* out) {
  *out << "{\"" << filmtest::Utf8Of(row.title) << "\", \"" << row.id << "\", \"" << row.letter
       << "\"}";
}

std::vector<Row> TitlesListRows() {
  std::vector<Row> rows;
  const auto count = ListCount(kTitlesList);
  rows.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    rows.push_back(Row{ListCellText(kTitlesList, i, 0), ListCellText(kTitlesList, i, 1),
                       ListCellText(kTitlesList, i, 2)});
  }
  return rows;
}

std::string SearchPage(const std::string& name) {
  return filmtest::ReadBytes(std::filesystem::path(TEST_DATA_DIR) / "search" / name);
}

std::string Edited(std::string page, const std::string& from, const std::string& to) {
  const auto at = page.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) page.replace(at, from.size(), to);
  return page;
}

std::string Repeated(const std::string& piece, std::size_t bytes) {
  std::string out;
  out.reserve(bytes + piece.size());
  while (out.size() < bytes) out += piece;
  return out;
}

// One popular title as the IMDb search page writes it.
std::string PopularHit(int k, const std::string& id, const std::string& title) {
  return "<tr><td>" + std::to_string(k) + ".</td><td><a href=\"/title/" + id +
         "/\" onclick=\"set_args('" + id + "', " + std::to_string(k) + ")\">" + title +
         "</a></td></tr>\n";
}

std::string PopularHeading(const std::string& count) {
  return "<p><b>Popular Titles</b> (Displaying" + count + " Results)<table>\n";
}

std::string ExactBlock(const std::string& id, const std::string& title) {
  return "<p><b>Titles (Exact Matches)</b> (Displaying 1 Result)<table>\n<tr><td>1.</td><td>"
         "<a href=\"/title/" + id + "/\" onclick=\"set_args('" + id + "',1)\">" + title +
         "</a> (1982)</td></tr></table>\n";
}

// The titles list of the main window, alone in a window of its own, with its three columns.
class SearchResults : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProgramVariables();
    WindowOpen(kMainWindow, 0, 0, 400, 300, "Cinevarta", kWindowInvisible);
    GadgetCreateList(kTitlesList, 10, 10, 220, 250, "TITULOS ENCONTRADOS", 160,
                     kListFullRowSelect);
    ListAddColumn(kTitlesList, 1, "Indice", 0);
    ListAddColumn(kTitlesList, 2, "bd", 30);
  }
  void TearDown() override { WindowClose(kMainWindow); }

  static std::vector<Row> Parse(const std::string& page, unsigned char source) {
    program.pageText = page;
    program.currentSource = source;
    ParseSearchResults();
    return TitlesListRows();
  }
  static std::vector<Row> Culturalia(const std::string& page) {
    return Parse(page, kSourceCulturalia);
  }
  static std::vector<Row> Imdb(const std::string& page) { return Parse(page, kSourceImdb); }
};

using Rows = std::vector<Row>;

}  // namespace

// --- Culturalia -------------------------------------------------------------------------------

TEST_F(SearchResults, CulturaliaPageListsEveryLinkInPageOrder) {
  const Rows rows = Culturalia(SearchPage("culturalia_alien.html"));
  EXPECT_EQ(rows, (Rows{
                      {"Alien, el octavo pasajero", "1234", "C"},
                      {"Aliens: el regreso", "5678", "C"},
                      // "art=007" is the number 7; the superscript three is byte 0xB3.
                      {"Alien\xb3", "7", "C"},
                      // The same film linked twice stands twice.
                      {"Alien, el octavo pasajero", "1234", "C"},
                      // The character before "<" is dropped even when it is not a blank.
                      {"Alie", "91", "C"},
                  }));
}

TEST_F(SearchResults, CulturaliaTitleAndNumberRules) {
  auto one = [](const std::string& link) {
    const Rows rows = Culturalia("<td>" + link + "</td>");
    return rows.size() == 1 ? rows[0] : Row{"<" + std::to_string(rows.size()) + " rows>", "", ""};
  };
  EXPECT_EQ(one("<a href='../art/ver.php?art=123'>Alien </a>"), (Row{"Alien", "123", "C"}));
  EXPECT_EQ(one("<a href='../art/ver.php?art=123'>Alien</a>"), (Row{"Alie", "123", "C"}));
  EXPECT_EQ(one("<a href='../art/ver.php?art=123'>A</a>"), (Row{"", "123", "C"}));
  EXPECT_EQ(one("<a href='../art/ver.php?art=123'></a>"), (Row{"", "123", "C"}));
  // An address that does not start with digits is film 0; blanks before the digits are skipped.
  EXPECT_EQ(one("<a href='../art/ver.php?art=abc'>Sin numero </a>"),
            (Row{"Sin numero", "0", "C"}));
  EXPECT_EQ(one("<a href='../art/ver.php?art= 42'>Con blanco </a>"),
            (Row{"Con blanco", "42", "C"}));
  EXPECT_EQ(one("<a href='../art/ver.php?art=-5'>Negativo </a>"), (Row{"Negativo", "-5", "C"}));
  // Ten characters are read and held as a signed 32-bit number.
  EXPECT_EQ(one("<a href='../art/ver.php?art=2147483648'>Grande </a>"),
            (Row{"Grande", "-2147483648", "C"}));
  EXPECT_EQ(one("<a href='../art/ver.php?art=123456789012'>Largo </a>"),
            (Row{"Largo", "1234567890", "C"}));
  // The marker is compared with letter case and as a whole.
  EXPECT_TRUE(Culturalia("<a href='../ART/ver.php?art=1'>X </a>").empty());
  EXPECT_TRUE(Culturalia("<a href=\"../art/ver.php?art=1\">X </a>").empty());
}

TEST_F(SearchResults, CulturaliaLineBreaksInATitleBecomeBlanks) {
  const Rows rows = Culturalia(
      "<a href='../art/ver.php?art=12'>Blade\r\nRunner </a>"
      "<a href='../art/ver.php?art=13'>Uno\nDos\rTres </a>");
  EXPECT_EQ(rows, (Rows{{"Blade  Runner", "12", "C"}, {"Uno Dos Tres", "13", "C"}}));
}

TEST_F(SearchResults, APageWithoutHitsEmptiesTheList) {
  ListAddRow(kTitlesList, -1, "Vieja\n99\nC");
  ListAddRow(kTitlesList, -1, "Otra\ntt1\nI");
  EXPECT_TRUE(Culturalia("<html><body>No se han encontrado resultados.</body></html>").empty());
  ListAddRow(kTitlesList, -1, "Vieja\n99\nC");
  EXPECT_TRUE(Imdb("<html><body>No Matches.</body></html>").empty());
  // Each recipe reads only its own source's markers.
  EXPECT_TRUE(Imdb(SearchPage("culturalia_alien.html")).empty());
  EXPECT_TRUE(Culturalia(SearchPage("imdb_blade_runner.html")).empty());
}

// --- IMDb -------------------------------------------------------------------------------------

TEST_F(SearchResults, ImdbPageListsTheExactMatchThenThePopularTitles) {
  const Rows rows = Imdb(SearchPage("imdb_blade_runner.html"));
  EXPECT_EQ(rows, (Rows{
                      // Only the first exact match, though the heading announces two.
                      {"Blade Runner", "tt0083658", "I"},
                      // The same film again as a popular title: duplicates stay.
                      {"Blade Runner", "tt0083658", "I"},
                      // Popular title 2 holds "(VG)" in its link text and is dropped.
                      {"\"Blade Runner: Black Lotus\"", "tt1462764", "I"},
                      // "(VG)" after the link text is not part of the title.
                      {"Blade Runner 2049", "tt1856101", "I"},
                  }));
}

TEST_F(SearchResults, ImdbQuoteReferenceIsDecodedInPopularTitlesOnly) {
  const std::string title = "&#34;Lost&#34;";
  const Rows rows = Imdb(ExactBlock("tt0411008", title) + PopularHeading(" 2") +
                         PopularHit(1, "tt0411008", title) +
                         PopularHit(2, "tt0000002", "Say &#X22;no&#34; twice"));
  EXPECT_EQ(rows, (Rows{{"&#34;Lost&#34;", "tt0411008", "I"},
                        {"\"Lost\"", "tt0411008", "I"},
                        // Only "&#34;" is replaced, not other spellings of the quote.
                        {"Say &#X22;no\" twice", "tt0000002", "I"}}));
}

TEST_F(SearchResults, ImdbVideoGameHitsAreDroppedInBothBlocks) {
  EXPECT_TRUE(Imdb(ExactBlock("tt1", "Alien (VG)")).empty());
  EXPECT_EQ(Imdb(ExactBlock("tt1", "Alien (vg)")), (Rows{{"Alien (vg)", "tt1", "I"}}));
  const Rows rows =
      Imdb(PopularHeading(" 3") + PopularHit(1, "tt1", "Uno") + PopularHit(2, "tt2", "Dos (VG)") +
           PopularHit(3, "tt3", "Tres"));
  EXPECT_EQ(rows, (Rows{{"Uno", "tt1", "I"}, {"Tres", "tt3", "I"}}));
}

TEST_F(SearchResults, ImdbPopularCountIsReadFromTwoCharacters) {
  std::string hits;
  for (int k = 1; k <= 12; ++k) hits += PopularHit(k, "tt" + std::to_string(k), "T" + std::to_string(k));
  // A blank and "12": the count is read as 1.
  EXPECT_EQ(Imdb(PopularHeading(" 12") + hits).size(), 1u);
  EXPECT_EQ(Imdb(PopularHeading(" 3") + hits).size(), 3u);
  // No blank: both digits count.
  EXPECT_EQ(Imdb(PopularHeading("12") + hits).size(), 12u);
  // Two characters that are not digits, or a count of 0, give no popular titles.
  EXPECT_TRUE(Imdb(PopularHeading(" x") + hits).empty());
  EXPECT_TRUE(Imdb(PopularHeading("--") + hits).empty());
  EXPECT_TRUE(Imdb(PopularHeading(" 0") + hits).empty());
  EXPECT_TRUE(Imdb(PopularHeading("-5") + hits).empty());
  const Rows three = Imdb(PopularHeading(" 3") + hits);
  EXPECT_EQ(three, (Rows{{"T1", "tt1", "I"}, {"T2", "tt2", "I"}, {"T3", "tt3", "I"}}));
}

TEST_F(SearchResults, ImdbPageWithNeitherHeadingListsNothing) {
  const std::string page = SearchPage("imdb_blade_runner.html");
  std::string partialOnly = Edited(page, "<b>Popular Titles</b>", "<b>Popular Names</b>");
  partialOnly = Edited(partialOnly, "Titles (Exact Matches)", "Names (Exact Matches)");
  EXPECT_TRUE(Imdb(partialOnly).empty());
  // The headings are compared with letter case.
  EXPECT_TRUE(Imdb(Edited(ExactBlock("tt1", "A"), "Exact Matches", "exact matches")).empty());
}

TEST_F(SearchResults, ImdbLineBreaksInTitlesAndIdsBecomeBlanks) {
  const Rows rows = Imdb(ExactBlock("tt\r\n42", "Blade\nRunner") + PopularHeading(" 1") +
                         PopularHit(1, "tt\n7", "Uno\r\nDos"));
  EXPECT_EQ(rows, (Rows{{"Blade Runner", "tt  42", "I"}, {"Uno  Dos", "tt 7", "I"}}));
  // The row keeps its three columns: the letter is still in the third.
  for (const Row& row : rows) EXPECT_EQ(row.letter, "I");
}

// A hit whose markers are missing is not listed: the exact-match block lists nothing when one of
// its four markers is missing after its heading.
TEST_F(SearchResults, ImdbExactMatchWithAMissingMarkerListsNothing) {
  const std::string block = ExactBlock("tt0083658", "Blade Runner");
  ASSERT_EQ(Imdb(block), (Rows{{"Blade Runner", "tt0083658", "I"}}));
  EXPECT_TRUE(Imdb(Edited(block, ",1)\">", ",1)>")).empty()) << "no )\">";
  EXPECT_TRUE(Imdb(Edited(block, "</a>", "</b>")).empty()) << "no </a>";
  EXPECT_TRUE(Imdb(Edited(block, "set_args('", "set_arg('")).empty()) << "no set_args('";
  EXPECT_TRUE(Imdb(Edited(block, "',1)", "' ,1)")).empty()) << "no ',";
  // A marker that stands only before the heading does not count either.
  const std::string before = "<a onclick=\"set_args('tt9',1)\">Anterior</a>\n";
  EXPECT_TRUE(Imdb(before + Edited(block, "set_args('", "set_arg('")).empty());
  EXPECT_TRUE(Imdb(before + Edited(block, ",1)\">", ",1)>")).empty());
}

TEST_F(SearchResults, ImdbMissingExactMarkersLeaveThePopularBlockAlone) {
  // The popular block stands before the exact-match block, as on the site; the exact match has
  // lost its closing "</a>" and nothing after it has one.
  const std::string page = PopularHeading(" 2") + PopularHit(1, "tt1", "Uno") +
                           PopularHit(2, "tt2", "Dos") +
                           Edited(ExactBlock("tt3", "Tres"), "</a>", "");
  EXPECT_EQ(Imdb(page), (Rows{{"Uno", "tt1", "I"}, {"Dos", "tt2", "I"}}));
}

// The popular block stops at the first ordinal whose markers are missing.
TEST_F(SearchResults, ImdbPopularBlockStopsAtTheFirstHitWithAMissingMarker) {
  const std::string heading = PopularHeading(" 4");
  const std::string one = PopularHit(1, "tt1", "Uno");
  const std::string two = PopularHit(2, "tt2", "Dos");
  const std::string four = PopularHit(4, "tt4", "Cuatro");
  const Rows first{{"Uno", "tt1", "I"}};
  // More announced than the page holds: the fourth ordinal is not there.
  EXPECT_EQ(Imdb(heading + one + two + PopularHit(3, "tt3", "Tres")),
            (Rows{{"Uno", "tt1", "I"}, {"Dos", "tt2", "I"}, {"Tres", "tt3", "I"}}));
  // ", 2)" missing: hit 4 after it is not reached.
  EXPECT_EQ(Imdb(heading + one + Edited(two, ", 2)", ",2)") + four), first);
  // No "</a>" after the second link text.
  EXPECT_EQ(Imdb(heading + one + Edited(two, "</a>", "")), first);
  // No "set_args('" after the first id.
  EXPECT_EQ(Imdb(heading + one + Edited(two, "set_args('", "args('")), first);
  // No "'," after the second id's start.
  EXPECT_EQ(Imdb(heading + one + Edited(two, "', 2)", "' , 2)")), first);
  // Nothing of the first hit: nothing at all, not entries cut out of unrelated text.
  EXPECT_TRUE(Imdb(heading + "<tr><td>Nada</td></tr>" + two).empty());
}

// --- Hostile pages ----------------------------------------------------------------------------

TEST_F(SearchResults, MarkersAtTheVeryEndOfThePage) {
  // Culturalia: the link marker last gives film 0 with an empty title.
  EXPECT_EQ(Culturalia("<html>href='../art/ver.php?art="), (Rows{{"", "0", "C"}}));
  EXPECT_EQ(Culturalia("href='../art/ver.php?art=12'>"), (Rows{{"", "12", "C"}}));
  EXPECT_EQ(Culturalia("href='../art/ver.php?art=12'>Fin"), (Rows{{"", "12", "C"}}));
  EXPECT_EQ(Culturalia("href='../art/ver.php?art=12'>Fin <"), (Rows{{"Fin", "12", "C"}}));
  // IMDb: headings and markers with nothing after them list nothing.
  EXPECT_TRUE(Imdb("<p><b>Titles (Exact Matches)</b> (Displaying").empty());
  EXPECT_TRUE(Imdb("<p><b>Titles (Exact Matches)</b> (Displaying 1)\">").empty());
  EXPECT_TRUE(Imdb("<b>Titles (Exact Matches)</b> (Displaying x)\">T</a>set_args('").empty());
  EXPECT_TRUE(Imdb("<b>Titles (Exact Matches)</b> (Displaying x)\">T</a>set_args('tt1").empty());
  EXPECT_TRUE(Imdb("<p><b>Popular Titles</b> (Displaying").empty());
  EXPECT_TRUE(Imdb("<p><b>Popular Titles</b> (Displaying 9").empty());
  EXPECT_TRUE(Imdb("<b>Popular Titles</b> (Displaying 9, 1)").empty());
  EXPECT_TRUE(Imdb("<b>Popular Titles</b> (Displaying 9, 1)\">T</a>set_args('").empty());
  EXPECT_TRUE(Imdb("<b>Popular Titles</b> (Displaying 9, 1)\">T</a>set_args('tt1'").empty());
  EXPECT_EQ(Imdb("<b>Popular Titles</b> (Displaying 9, 1)\">T</a>set_args('tt1',"),
            (Rows{{"T", "tt1", "I"}}));
}

TEST_F(SearchResults, AMegabyteOfCulturaliaLinks) {
  const std::string link = "<a href='../art/ver.php?art=31'>Rio </a>";
  const std::string page = Repeated(link, 1 << 20);
  const Rows rows = Culturalia(page);
  ASSERT_EQ(rows.size(), page.size() / link.size());
  EXPECT_EQ(rows.front(), (Row{"Rio", "31", "C"}));
  EXPECT_EQ(rows.back(), (Row{"Rio", "31", "C"}));
}

TEST_F(SearchResults, AMegabyteOfBareLinkMarkers) {
  // Nothing but the link marker: every hit is film 0, except that the ten characters after a
  // marker are the next marker's "href='../a", which are not digits either.
  const std::string marker = "href='../art/ver.php?art=";
  const std::string page = Repeated(marker, 1 << 20);
  const Rows rows = Culturalia(page);
  ASSERT_EQ(rows.size(), page.size() / marker.size());
  for (const Row& row : rows) {
    ASSERT_EQ(row, (Row{"", "0", "C"}));
  }
}

TEST_F(SearchResults, AMegabyteOfLinksWithOneTagStartAtTheEnd) {
  // Every link text runs on to the one "<" at the end of the page: each title is the rest of
  // the page, so the hits would hold the page's size times their number.
  const std::string link = "href='../art/ver.php?art=5'>Sin fin ";
  const std::string page = Repeated(link, 1 << 20) + "<";
  const Rows rows = Culturalia(page);
  ASSERT_EQ(rows.size(), (page.size() - 1) / link.size());
  std::size_t total = 0;
  for (const Row& row : rows) total += row.title.size();
  EXPECT_LE(total, 64u * page.size()) << "the titles hold " << total << " bytes";
  // A title keeps its first 255 characters; the last one is whole.
  EXPECT_EQ(rows.front(), (Row{page.substr(link.find('>') + 1, 255), "5", "C"}));
  EXPECT_EQ(rows.back(), (Row{"Sin fin", "5", "C"}));
}

TEST_F(SearchResults, HitTextsUpToTheirLongestAreWhole) {
  const std::string longest(255, 'x');
  EXPECT_EQ(Culturalia("href='../art/ver.php?art=1'>" + longest + " <"),
            (Rows{{longest, "1", "C"}}));
  EXPECT_EQ(Culturalia("href='../art/ver.php?art=1'>" + longest + "yz<"),
            (Rows{{longest, "1", "C"}}));
  const std::string id = "tt" + std::string(253, '7');
  EXPECT_EQ(Imdb(ExactBlock(id, longest)), (Rows{{longest, id, "I"}}));
  EXPECT_EQ(Imdb(PopularHeading(" 1") + PopularHit(1, id + "8", longest + "y")),
            (Rows{{longest, id, "I"}}));
}

TEST_F(SearchResults, AMegabyteOfImdbMarkers) {
  // The headings over and over: one exact match at most, and no more popular titles than the
  // two characters announce.
  const std::string exact = "<b>Titles (Exact Matches)</b> (Displaying 1)\">E</a>set_args('tte',";
  EXPECT_EQ(Imdb(Repeated(exact, 1 << 20)), (Rows{{"E", "tte", "I"}}));

  std::string page = PopularHeading("99");
  for (int k = 1; k <= 99; ++k) page += PopularHit(k, "tt" + std::to_string(k), "P");
  page += Repeated(PopularHit(1, "tt0", "Q"), 1 << 20);
  const Rows rows = Imdb(page);
  ASSERT_EQ(rows.size(), 99u);
  EXPECT_EQ(rows.back(), (Row{"P", "tt99", "I"}));

  // The ordinal marker alone, a megabyte of it, after a heading announcing 99.
  EXPECT_TRUE(Imdb(PopularHeading("99") + Repeated(", 1)", 1 << 20)).empty());
  // A link text that runs on to one "</a>" at the very end keeps only its first characters.
  const Rows long99 = Imdb(PopularHeading("99") + Repeated(", 1)\">set_args('tt1',", 1 << 20) + "</a>");
  ASSERT_EQ(long99.size(), 1u);
  EXPECT_EQ(long99[0].title.size(), 255u);
  // Link texts that never end: no "</a>" anywhere.
  EXPECT_TRUE(Imdb(PopularHeading("99") + Repeated(", 1)\">set_args('tt1',", 1 << 20)).empty());
}

TEST_F(SearchResults, ZeroBytesInThePage) {
  using namespace std::string_literals;
  const std::string zeros(64 * 1024, '\0');
  EXPECT_TRUE(Culturalia(zeros).empty());
  EXPECT_TRUE(Imdb(zeros).empty());
  // Zero bytes around and inside the hits are plain characters to the recipes.
  const Rows c = Culturalia(zeros + "<a href='../art/ver.php?art=8\0'>A\0b \0</a>"s + zeros);
  ASSERT_EQ(c.size(), 1u);
  EXPECT_EQ(c[0].id, "8");
  EXPECT_EQ(c[0].letter, "C");
  const Rows i = Imdb(zeros + ExactBlock("tt\0" "1"s, "X\0Y"s) + zeros);
  ASSERT_EQ(i.size(), 1u);
  EXPECT_EQ(i[0].letter, "I");
}
