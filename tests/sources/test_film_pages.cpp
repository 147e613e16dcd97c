// Whole film pages of both sources against their golden cards (tests/data/films/<source>/
// <name>.card.txt beside <name>.html; an IMDb page's plot summary is <name>.plot.html). The
// golden files are plain text; CINEVARTA_UPDATE_GOLDEN=1 rewrites them when a change is meant.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "program/variables.h"
#include "sources/film_card.h"
#include "sources/urls.h"
#include "tests/sources/test_film_support.h"

namespace fs = std::filesystem;
using filmtest::ReadBytes;

namespace {

std::vector<fs::path> FilmPages(const std::string& source) {
  std::vector<fs::path> pages;
  for (const auto& entry : fs::directory_iterator(filmtest::FilmsDir() / source)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() == ".html" && name.find(".plot.") == std::string::npos)
      pages.push_back(entry.path());
  }
  std::sort(pages.begin(), pages.end());
  return pages;
}

fs::path Beside(const fs::path& page, const std::string& suffix) {
  return page.parent_path() / (page.stem().string() + suffix);
}

}  // namespace

TEST(FilmPages, ImdbPagesGiveTheirGoldenCards) {
  const auto pages = FilmPages("imdb");
  ASSERT_GE(pages.size(), 2u);
  for (const fs::path& page : pages) {
    SCOPED_TRACE(page.string());
    filmtest::ScratchDirectory dir;
    ResetProgramVariables();
    program.pageText = ReadBytes(page);
    FilmCard card;
    const Text titleId = ReadImdbFilmPage(card);
    std::string extra = filmtest::RenderField("titleId", titleId);
    const fs::path plot = Beside(page, ".plot.html");
    if (!titleId.empty()) {
      extra += filmtest::RenderField("plotSummaryUrl", ImdbPlotSummaryUrl(titleId));
      if (fs::exists(plot)) card.synopsis = ReadImdbPlotSummary(ReadBytes(plot));
    }
    extra += filmtest::RenderField("castFile", ReadBytes(kCastFile));
    DecodeFilmCard(card);
    filmtest::ExpectGolden(Beside(page, ".card.txt"), filmtest::RenderCard(card) + extra);
  }
}

TEST(FilmPages, CulturaliaPagesGiveTheirGoldenCards) {
  const auto pages = FilmPages("culturalia");
  ASSERT_GE(pages.size(), 2u);
  for (const fs::path& page : pages) {
    SCOPED_TRACE(page.string());
    ResetProgramVariables();
    program.pageText = ReadBytes(page);
    FilmCard card;
    ExtractCulturaliaFilm(card);
    DecodeFilmCard(card);
    filmtest::ExpectGolden(Beside(page, ".card.txt"), filmtest::RenderCard(card));
  }
}

TEST(FilmPages, DecodingTouchesTheEightTextsButNotTheCoverPath) {
  FilmCard card{"T&#233;", "G&#65;", "N%20n", "D%7Bd%7D", "M&#77;", "R&#82;", "A&#65;\r\nB",
                "S&#83;", "a&#65;%20b.jpg"};
  DecodeFilmCard(card);
  EXPECT_EQ(card.title, "T\xe9");
  EXPECT_EQ(card.genre, "GA");
  EXPECT_EQ(card.nationality, "N n");
  EXPECT_EQ(card.director, "D(d)");
  EXPECT_EQ(card.moralRating, "MM");
  EXPECT_EQ(card.rating, "RR");
  EXPECT_EQ(card.actors, "AA\r\nB");
  EXPECT_EQ(card.synopsis, "SS");
  EXPECT_EQ(card.coverPath, "a&#65;%20b.jpg");
}
