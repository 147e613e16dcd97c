// The sample site that cinevarta-demo is shown on, read by the real program: every search page
// through the search command's URL and the search-results parser, every film page through the
// load-film command with its plot-summary page or cover, and two films' cards field by field.
// The site is served by the in-process test server with the sample server's file mapping, so a
// URL the program builds that names no file of the site fails here, not in front of a person.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "program/gadgets.h"
#include "program/variables.h"
#include "services/gui/gui.h"
#include "services/images/images.h"
#include "services/text/text.h"
#include "sources/film_card.h"
#include "sources/sources.h"
#include "tests/sources/test_film_support.h"
#include "tests/support/sample_site_fixture.h"
#include "tools/site_map.h"

namespace fs = std::filesystem;

namespace {

struct Hit {
  std::string title;  // UTF-8, as a person reads it in the list
  std::string id;
  std::string letter;
  bool operator==(const Hit&) const = default;
};

void PrintTo(const Hit& h, std::ostream* os) {
  *os << "{" << h.title << ", " << h.id << ", " << h.letter << "}";
}

struct Search {
  bool culturalia;
  std::string typed;  // as a person types it, in UTF-8
  std::vector<Hit> hits;
};

// What a person sees in the titles list after each search the sample site knows, plus one it
// does not know.
std::vector<Search> SampleSearches() {
  const Hit bladeRunner{"Blade Runner (1982)", "tt0083658", "I"};
  const Hit bladeRunner2049{"Blade Runner 2049 (2017)", "tt1856101", "I"};
  const Hit alien{"Alien (1979)", "tt0078748", "I"};
  const Hit aliens{"Aliens (1986)", "tt0090605", "I"};
  const Hit colmena{"El espíritu de la colmena", "1187", "C"};
  const Hit mariposas{"La lengua de las mariposas", "4420", "C"};
  const Hit cBladeRunner{"Blade Runner", "2210", "C"};
  return {
      // The exact match, then the popular titles without the video game; the series' quotes
      // are decoded there, and the film that is also the exact match stands twice.
      {false, "Blade Runner",
       {bladeRunner, bladeRunner2049, {"\"Blade Runner: Black Lotus\" (2021)", "tt9359796", "I"},
        bladeRunner}},
      {false, "  blade runner 2049 ", {bladeRunner2049, bladeRunner}},
      {false, "Alien", {alien, aliens}},
      {false, "ALIENS", {aliens, alien}},
      {false, "Amelie", {{"Amélie (2001)", "tt0211915", "I"}}},
      {false, "El laberinto del fauno", {{"El laberinto del fauno (2006)", "tt0457430", "I"}}},
      {false, "Ridley Scott", {bladeRunner, alien}},  // popular titles only
      {false, "Star Wars", {}},
      // Every result link in page order, the box of most-read films beside them included.
      {true, "Blade Runner", {cBladeRunner, {"Blade Runner 2049", "8817", "C"}, cBladeRunner}},
      {true, "colmena", {colmena, mariposas}},
      {true, "Mariposas", {mariposas}},
      {true, "mar adentro", {{"Mar adentro", "6093", "C"}, colmena}},
      {true, "Erice", {colmena}},
      {true, "Star Wars", {}},
  };
}

// The sample site's files of one kind: names relative to the site, "/" between folders.
std::vector<std::string> SiteFiles(const std::string& folder, const std::string& prefix) {
  std::vector<std::string> files;
  const fs::path root(SAMPLE_SITE_DIR);
  for (const auto& entry : fs::directory_iterator(root / folder)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file() && name.rfind(prefix, 0) == 0) {
      files.push_back(folder.empty() ? name : folder + "/" + name);
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<Hit> TitlesListRows() {
  std::vector<Hit> rows;
  const auto count = ListCount(kTitlesList);
  rows.reserve(static_cast<std::size_t>(std::max<std::int64_t>(count, 0)));
  for (int i = 0; i < count; ++i) {
    rows.push_back({TextToUtf8(ListCellText(kTitlesList, i, 0)), ListCellText(kTitlesList, i, 1),
                    ListCellText(kTitlesList, i, 2)});
  }
  return rows;
}

// The file of the site that answered a target, "" when none did.
std::string FileFor(const std::string& target) {
  const auto found = site::Lookup(SAMPLE_SITE_DIR, target);
  return found ? found->file : std::string();
}

bool IsFallback(const std::string& file) { return file.find("@default") != std::string::npos; }

class SampleSite : public SampleSiteFixture {
 protected:
  void Choose(bool culturalia) {
    GadgetSetState(culturalia ? kCulturaliaOption : kImdbOption, 1);
    program.currentSource = culturalia ? kSourceCulturalia : kSourceImdb;
  }

  // Loads one film the way a click on a titles-list entry does.
  void LoadEntry(const std::string& id, const char* letter) {
    ListClear(kTitlesList);
    ListAddRow(kTitlesList, -1, "film\n" + id + "\n" + letter);
    ListSelectRow(kTitlesList, 0, true);
    program.pickList = kTitlesList;
    program.currentSource = std::string(letter) == "C" ? kSourceCulturalia : kSourceImdb;
    LoadFilm();
  }

  // The targets asked since the last ClearRequests, but for the web view's start page, whose
  // load may still arrive after a test has begun.
  static std::vector<std::string> Asked() {
    std::vector<std::string> targets = server_->Targets();
    targets.erase(std::remove(targets.begin(), targets.end(), "/"), targets.end());
    return targets;
  }
};

FilmCard ImdbCardOf(const std::string& id) {
  program.pageText = filmtest::ReadBytes(fs::path(SAMPLE_SITE_DIR) / "title" / (id + ".html"));
  FilmCard card;
  ExtractImdbFilm(card);  // fetches the plot-summary page from the site
  DecodeFilmCard(card);
  return card;
}

FilmCard CulturaliaCardOf(int art) {
  program.pageText = filmtest::ReadBytes(fs::path(SAMPLE_SITE_DIR) / "art" /
                                         ("ver.php@art=" + std::to_string(art)));
  FilmCard card;
  ExtractCulturaliaFilm(card);
  DecodeFilmCard(card);
  return card;
}

std::string Crlf(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& line : lines) out += (out.empty() ? "" : "\r\n") + TextFromUtf8(line);
  return out;
}

}  // namespace

TEST_F(SampleSite, EverySearchPageListsItsHits) {
  std::set<std::string> answered;
  for (const Search& search : SampleSearches()) {
    SCOPED_TRACE((search.culturalia ? "Culturalia: " : "IMDb: ") + search.typed);
    server_->ClearRequests();
    ListClear(kTitlesList);
    ListAddRow(kTitlesList, -1, "old\ntt1\nI");  // a previous search's entry must go
    Choose(search.culturalia);
    GadgetSetText(kSearchField, TextFromUtf8(search.typed));
    SearchSource();

    const auto targets = Asked();
    ASSERT_EQ(targets.size(), 1u);
    const std::string file = FileFor(targets[0]);
    ASSERT_FALSE(file.empty()) << targets[0];
    EXPECT_EQ(IsFallback(file), search.hits.empty()) << targets[0] << " -> " << file;
    answered.insert(file);
    EXPECT_EQ(TitlesListRows(), search.hits);
  }
  // Every search page of the site is one a person can reach from the demo, and is checked here.
  std::vector<std::string> pages = SiteFiles("", "find@");
  const auto culturalia = SiteFiles("bus", "resu.php@");
  pages.insert(pages.end(), culturalia.begin(), culturalia.end());
  for (const auto& page : pages) EXPECT_TRUE(answered.count(page)) << page << " is not checked";
}

TEST_F(SampleSite, EveryListedHitHasItsFilmPage) {
  for (const Search& search : SampleSearches()) {
    for (const Hit& hit : search.hits) {
      const std::string target =
          hit.letter == "C" ? "/art/ver.php?art=" + hit.id : "/title/" + hit.id;
      const std::string file = FileFor(target);
      EXPECT_FALSE(file.empty() || IsFallback(file)) << hit.title << ": " << target;
    }
  }
}

TEST_F(SampleSite, EveryImdbFilmLoadsWithItsPlotSummary) {
  const auto pages = SiteFiles("title", "tt");
  ASSERT_GE(pages.size(), 5u);
  for (const auto& page : pages) {
    if (page.size() < 5 || page.substr(page.size() - 5) != ".html") continue;
    const std::string id = fs::path(page).stem().string();
    SCOPED_TRACE(id);
    server_->ClearRequests();
    LoadEntry(id, "I");
    const std::vector<std::string> expected{"/title/" + id, "/title/" + id + "/plotsummary"};
    ASSERT_EQ(Asked(), expected);
    for (const auto& target : expected) {
      const std::string file = FileFor(target);
      EXPECT_FALSE(file.empty() || IsFallback(file)) << target;
    }
    EXPECT_EQ(program.currentSource, kSourceImdb);
    for (int field : {kTitleField, kGenreField, kNationalityField, kDirectorField,
                      kMoralRatingField, kRatingField, kActorsField, kSynopsisText}) {
      const Text text = GadgetGetText(field);
      EXPECT_FALSE(text.empty() || text == "...") << "gadget " << field;
    }
    EXPECT_EQ(program.cardHasCover, 0);

    const FilmCard card = ImdbCardOf(id);
    for (const Text* field : {&card.title, &card.genre, &card.nationality, &card.director,
                              &card.moralRating, &card.rating, &card.actors, &card.synopsis}) {
      EXPECT_FALSE(field->empty());
      // Every reference the pages use is one the decoding knows.
      EXPECT_EQ(field->find("&#"), std::string::npos) << *field;
    }
    EXPECT_TRUE(card.coverPath.empty());
  }
}

TEST_F(SampleSite, EveryCulturaliaFilmLoadsWithItsCover) {
  const auto pages = SiteFiles("art", "ver.php@art=");
  ASSERT_GE(pages.size(), 4u);
  std::set<std::string> covers;
  for (const auto& page : pages) {
    const std::string id = page.substr(page.find('=') + 1);
    SCOPED_TRACE(id);
    const FilmCard card = CulturaliaCardOf(std::stoi(id));
    for (const Text* field : {&card.title, &card.genre, &card.nationality, &card.director,
                              &card.moralRating, &card.rating, &card.actors, &card.synopsis,
                              &card.coverPath}) {
      EXPECT_FALSE(field->empty());
      EXPECT_EQ(field->find("&#"), std::string::npos) << *field;
    }
    // The cover is a real picture of a poster's shape.
    const std::string coverFile = FileFor("/imatges/articulos/" + card.coverPath);
    ASSERT_FALSE(coverFile.empty()) << card.coverPath;
    covers.insert(coverFile);
    ASSERT_TRUE(ImageLoad(60, std::string(SAMPLE_SITE_DIR) + "/" + coverFile) != nullptr);
    EXPECT_GE(ImagePixelWidth(60), 200);
    EXPECT_GT(ImagePixelHeight(60), ImagePixelWidth(60));
    ImageFree(60);

    server_->ClearRequests();
    LoadEntry(id, "C");
    const std::vector<std::string> expected{"/art/ver.php?art=" + id,
                                            "/imatges/articulos/" + card.coverPath};
    ASSERT_EQ(Asked(), expected);
    EXPECT_FALSE(IsFallback(FileFor(expected[0])));
    EXPECT_EQ(program.currentSource, kSourceCulturalia);
    for (int field : {kTitleField, kGenreField, kNationalityField, kDirectorField,
                      kMoralRatingField, kRatingField, kActorsField, kSynopsisText}) {
      const Text text = GadgetGetText(field);
      EXPECT_FALSE(text.empty() || text == "...") << "gadget " << field;
    }
    EXPECT_EQ(program.cardHasCover, 1);
    EXPECT_EQ(app().ReadFile("portada.jpg"),
              filmtest::ReadBytes(fs::path(SAMPLE_SITE_DIR) / coverFile));
  }
  // Covers of a few sizes, the largest as a scanned poster would be.
  std::set<std::pair<int, int>> sizes;
  for (const auto& cover : covers) {
    ImageLoad(60, std::string(SAMPLE_SITE_DIR) + "/" + cover);
    sizes.insert({ImagePixelWidth(60), ImagePixelHeight(60)});
  }
  ImageFree(60);
  EXPECT_GE(sizes.size(), 3u);
  EXPECT_TRUE(sizes.count({1200, 1700}));
  EXPECT_TRUE(sizes.count({200, 290}));
}

TEST_F(SampleSite, BladeRunnerCardFromImdb) {
  const FilmCard card = ImdbCardOf("tt0083658");
  EXPECT_EQ(card.title, "Blade Runner (1982)");
  EXPECT_EQ(card.genre, "Sci-Fi");
  EXPECT_EQ(card.nationality, "USA");
  EXPECT_EQ(card.director, "Ridley Scott");
  EXPECT_EQ(card.moralRating, "18");
  EXPECT_EQ(card.rating, "8.3 de 10");
  EXPECT_EQ(card.actors, Crlf({"Harrison Ford", "Rutger Hauer", "Sean Young",
                               "Edward James Olmos", "Daryl Hannah"}));
  const std::string sep(77, '-');
  ASSERT_EQ(card.synopsis.find(sep + "\r\n[AUTOR]: Marta Olivares (molivares@example.org)\r\n" +
                               sep + "\r\nLos Angeles, November 2019."),
            0u)
      << card.synopsis;
  EXPECT_NE(card.synopsis.find("the hunted.\r\n"), std::string::npos);
  EXPECT_NE(card.synopsis.find("\r\n\r\n" + sep + "\r\n[AUTOR]: Tom Hale\r\n" + sep +
                               "\r\nWhile he follows"),
            std::string::npos);
  EXPECT_EQ(card.synopsis.substr(card.synopsis.size() - 13), "the hunted.\r\n");
  EXPECT_TRUE(card.coverPath.empty());
}

TEST_F(SampleSite, AccentsAndReferencesOfImdbPagesDecode) {
  const FilmCard amelie = ImdbCardOf("tt0211915");
  EXPECT_EQ(TextToUtf8(amelie.title), "Le fabuleux destin d'Amélie Poulain (2001)");
  const FilmCard fauno = ImdbCardOf("tt0457430");
  EXPECT_EQ(fauno.actors, Crlf({"Ivana Baquero", "Sergi López", "Maribel Verdú", "Doug Jones",
                                "Ariadna Gil"}));
  EXPECT_EQ(fauno.moralRating, "18");
  const FilmCard lotus = ImdbCardOf("tt9359796");
  EXPECT_EQ(lotus.title, "\"Blade Runner: Black Lotus\" (2021)");
  EXPECT_EQ(lotus.director, "Kenji Kamiyama");  // the first of two
  // A paragraph with no writer link after it.
  EXPECT_NE(lotus.synopsis.find("[AUTOR]: \r\n"), std::string::npos);
}

TEST_F(SampleSite, ColmenaCardFromCulturalia) {
  const FilmCard card = CulturaliaCardOf(1187);
  EXPECT_EQ(TextToUtf8(card.title), "El espíritu de la colmena");
  EXPECT_EQ(card.genre, "Drama");
  EXPECT_EQ(TextToUtf8(card.nationality), "España");
  EXPECT_EQ(TextToUtf8(card.director), "Víctor Erice");
  EXPECT_EQ(TextToUtf8(card.moralRating), "Jóvenes");
  EXPECT_EQ(card.rating, "9 de 10");
  EXPECT_EQ(card.actors, Crlf({"Ana Torrent", "Isabel Telléria", "Fernando Fernán Gómez",
                               "Teresa Gimpera"}));
  EXPECT_EQ(TextToUtf8(card.synopsis),
            "En un pueblo de la meseta castellana, hacia 1940, llega un camión con la película "
            "de Frankenstein. Ana, una niña de ocho años, queda fascinada por el monstruo y su "
            "hermana Isabel le cuenta que es un espíritu al que se puede llamar. Una de las "
            "cumbres del cine español, hecha de silencios, colmenas y luz de miel.");
  EXPECT_EQ(card.coverPath, "espiritu_colmena_1187.jpg");
  const FilmCard blade = CulturaliaCardOf(2210);
  EXPECT_EQ(blade.rating, "8,5 de 10");
  EXPECT_NE(blade.synopsis.find("\"retirar\""), std::string::npos);
  EXPECT_EQ(CulturaliaCardOf(6093).coverPath, "2004/mar_adentro_6093.jpg");
}
