// The Culturalia branch of the film extraction: every field by its own markers, with the case
// rules and the removal of ids, tags and digits that each step applies.
#include <gtest/gtest.h>

#include <string>

#include "program/variables.h"
#include "sources/film_card.h"
#include "tests/sources/test_film_support.h"

namespace {

// A film page in the site's markup, one block per field.
std::string FilmPage() {
  return std::string("<table><tr><td><font class='titulo2'>El sur</font><br>\n") +
         "<img src=\"http://www.culturalia.test/imatges/articulos/el_sur.jpg\" border=0>\n" +
         "<font class='titulo3'>Género:</font><br>Drama<br><br>"_t +
         "<font class='titulo3'>Nacionalidad:</font><br>España<br><br>"_t +
         "<font class = 'titulo3'>Director:</font><br>"
         "<a href=../art/ver_e.php?nombre=5012>Víctor Erice</a><br><br>"_t +
         "<font class = 'titulo3'>Clasificación moral:</font> Jóvenes<br>"_t +
         "<a href=#>123 votos. Puntuación: <font class = 'titulo3'>8</font> / 10</a><br>"_t +
         "<font class='titulo3'>Actores:</font><br>"
         "<a href=../art/ver_e.php?nombre=301>Omero Antonutti</a><br>"
         "<a href=../art/ver_e.php?nombre=302>Sonsoles Aranguren</a><br><br>"
         "<font class='titulo3'>Sinopsis:</b> Estrella recuerda a su padre.<br>Un pueblo del "
         "norte.<br><br></td></tr></table>\n";
}

std::string Edited(std::string page, const std::string& from, const std::string& to) {
  const auto at = page.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) page.replace(at, from.size(), to);
  return page;
}

FilmCard Extract(const std::string& page) {
  program.pageText = page;
  FilmCard card;
  ExtractCulturaliaFilm(card);
  return card;
}

class FilmCulturalia : public ::testing::Test {
 protected:
  void SetUp() override { ResetProgramVariables(); }
};

}  // namespace

TEST_F(FilmCulturalia, ReadsEveryField) {
  const std::string page = FilmPage();
  const FilmCard card = Extract(page);
  EXPECT_EQ(card.title, "El sur");
  EXPECT_EQ(card.genre, "Drama");
  EXPECT_EQ(card.nationality, "España"_t);
  EXPECT_EQ(card.director, "Víctor Erice"_t);
  EXPECT_EQ(card.moralRating, " Jóvenes"_t);
  EXPECT_EQ(card.rating, "8 de 10");
  EXPECT_EQ(card.actors, "Omero Antonutti\r\nSonsoles Aranguren");
  EXPECT_EQ(card.synopsis, " Estrella recuerda a su padre.Un pueblo del norte.");
  EXPECT_EQ(card.coverPath, "el_sur.jpg");
  // One page only: nothing is fetched and pageText is untouched.
  EXPECT_EQ(program.pageText, page);
}

TEST_F(FilmCulturalia, DirectorLosesIdTagEndAndEveryDigit) {
  auto director = [](const std::string& link) {
    return Extract(Edited(FilmPage(), "5012>Víctor Erice"_t, link)).director;
  };
  EXPECT_EQ(director("77>Ana Mariscal"), "Ana Mariscal");
  // Digits are removed from the whole text, the name's own included.
  EXPECT_EQ(director("9>Kurt 2 Schmidt 3000"), "Kurt  Schmidt ");
  EXPECT_EQ(director("12>34"), "");
  EXPECT_EQ(director(">>Name"), "Name");
  // The text ends at the first "<", even inside the name.
  EXPECT_EQ(director("8>Sam<b>uel"), "Sam");
}

TEST_F(FilmCulturalia, ActorLinksBecomeLines) {
  const std::string cast =
      "<a href=../art/ver_e.php?nombre=301>Omero Antonutti</a><br>"
      "<a href=../art/ver_e.php?nombre=302>Sonsoles Aranguren</a>";
  auto actors = [&](const std::string& replacement) {
    return Extract(Edited(FilmPage(), cast, replacement)).actors;
  };
  // "<br>" separates lines in either case; the link's tag is removed in either case too.
  EXPECT_EQ(actors("<a href=../art/ver_e.php?nombre=1>Ann</a><BR>"
                   "<A HREF=../ART/VER_E.PHP?NOMBRE=2>Bob</A><Br>"
                   "<a href=../art/ver_e.php?nombre=3>Cid</a>"),
            "Ann\r\nBob\r\nCid");
  // Digits go, names' own included; every ">" goes.
  EXPECT_EQ(actors("<a href=../art/ver_e.php?nombre=41>Agent 007</a>"), "Agent ");
  EXPECT_EQ(actors("Plain > name"), "Plain  name");
  // Other markup stays, less its ">".
  EXPECT_EQ(actors("<i>Ann</i>"), "<iAnn</i");
  // The cast block ends at the first "<br><br><font class".
  EXPECT_EQ(actors("Ann<br><br><font class='x'>Bob"), "Ann");
}

TEST_F(FilmCulturalia, RatingRules) {
  const std::string score = "'titulo3'>8</font> / 10</a>";
  auto rating = [&](const std::string& replacement) {
    return Extract(Edited(FilmPage(), score, replacement)).rating;
  };
  EXPECT_EQ(rating("'titulo3'>7 / 10</a>"), "7 de 10");
  // "</font>" vanishes before the replacement; the same tag in capitals stays.
  EXPECT_EQ(rating("'titulo3'>7</font> / 10</a>"), "7 de 10");
  EXPECT_EQ(rating("'titulo3'>7</FONT> / 10</a>"), "7</FONT> de 10");
  // Only " / " with its blanks is read as " de ".
  EXPECT_EQ(rating("'titulo3'>7/10</a>"), "7/10");
  EXPECT_EQ(rating("'titulo3'>5 / 10 / 2</a>"), "5 de 10 de 2");
}

TEST_F(FilmCulturalia, SynopsisDropsLineBreakTags) {
  const std::string synopsis = " Estrella recuerda a su padre.<br>Un pueblo del norte.";
  auto text = [&](const std::string& replacement) {
    return Extract(Edited(FilmPage(), synopsis, replacement)).synopsis;
  };
  EXPECT_EQ(text("a<br>b<br>c"), "abc");
  EXPECT_EQ(text("a<BR>b"), "a<BR>b");
  EXPECT_EQ(text(""), "");
}

TEST_F(FilmCulturalia, MissingBlocksLeaveOnlyTheirFieldsEmpty) {
  {
    const FilmCard card =
        Extract(Edited(FilmPage(), "<font class='titulo3'>Género:</font><br>Drama<br><br>"_t, ""));
    EXPECT_EQ(card.genre, "");
    EXPECT_EQ(card.title, "El sur");
    EXPECT_EQ(card.nationality, "España"_t);
    EXPECT_EQ(card.director, "Víctor Erice"_t);
    EXPECT_EQ(card.moralRating, " Jóvenes"_t);
    EXPECT_EQ(card.rating, "8 de 10");
    EXPECT_EQ(card.actors, "Omero Antonutti\r\nSonsoles Aranguren");
    EXPECT_EQ(card.coverPath, "el_sur.jpg");
  }
  {
    const FilmCard card = Extract(
        Edited(FilmPage(), "<img src=\"http://www.culturalia.test/imatges/articulos/el_sur.jpg\"",
               "<img src=\"http://www.culturalia.test/imagenes/el_sur.jpg\""));
    EXPECT_EQ(card.coverPath, "");
    EXPECT_EQ(card.title, "El sur");
  }
  // The genre marker keeps its accent: the same label without it is not found.
  EXPECT_EQ(Extract(Edited(FilmPage(), "Género:"_t, "Genero:")).genre, "");
  EXPECT_EQ(Extract("").title, "");
}

TEST_F(FilmCulturalia, EndMarkersOfGenreAndNationalityDiffer) {
  // The nationality block ends only at "<font class =" with its blank and "=".
  const FilmCard card = Extract(Edited(
      FilmPage(), "España<br><br><font class = 'titulo3'>Director:"_t,
      "Italia<br><br><font class='x'>Francia<br><br><font class = 'titulo3'>Director:"));
  EXPECT_EQ(card.nationality, "Italia<br><br><font class='x'>Francia");
  // The genre block ends at the first "<br><br><font class", blank or not.
  EXPECT_EQ(Extract(Edited(FilmPage(), "Drama<br><br><font class='titulo3'>Nac",
                           "Drama<br><br><font class = 'titulo3'>Nac"))
                .genre,
            "Drama");
}

TEST_F(FilmCulturalia, CoverPathRunsToTheClosingQuote) {
  auto cover = [](const std::string& src) {
    return Extract(Edited(FilmPage(), "http://www.culturalia.test/imatges/articulos/el_sur.jpg\"",
                          src))
        .coverPath;
  };
  EXPECT_EQ(cover("/imatges/articulos/2007/sur grande.JPG\""), "2007/sur grande.JPG");
  EXPECT_EQ(cover("/imatges/articulos/\""), "");
  // Single quotes do not end it.
  EXPECT_EQ(cover("/imatges/articulos/a.jpg' alt='x\""), "a.jpg' alt='x");
}
