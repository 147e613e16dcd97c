// The Culturalia branch of ExtractFilmCard: every field from one film page, each by its own
// markers from the start of pageText, and the cover's image path.
#include <string_view>

#include "sources/extract.h"
#include "sources/film_card.h"

namespace {

constexpr std::string_view kPersonLink = "<a href=../art/ver_e.php?nombre=";
constexpr std::string_view kDigits[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};

Text RemoveDigits(Text t, bool ignoreCase) {
  for (std::string_view digit : kDigits) t = TextRemove(t, digit, ignoreCase);
  return t;
}

}  // namespace

void ExtractCulturaliaFilm(FilmCard& card) {
  card.title = ExtractBetween("'titulo2'>", "</font>");
  card.genre = ExtractBetween("'titulo3'>Género:</font><br>"_t, "<br><br><font class");
  // This end marker has a blank and "=" after "class", unlike those of the genre and the cast.
  card.nationality =
      ExtractBetween("'titulo3'>Nacionalidad:</font><br>", "<br><br><font class =");

  // The director link's numeric id, the ">" closing its tag, and the name: only the name stays,
  // though a name with digits of its own loses them too.
  Text d = ExtractBetween("Director:</font><br><a href=../art/ver_e.php?nombre=", "<");
  d = TextRemove(d, ">", true);
  card.director = RemoveDigits(d, true);

  card.moralRating = ExtractBetween("moral:</font>", "<");

  Text r = ExtractBetween("votos. Puntuación: <font class = 'titulo3'>"_t, "</a>");
  r = TextRemove(r, "</font>");
  card.rating = TextReplace(r, " / ", " de ");

  Text a = ExtractBetween("'titulo3'>Actores:</font><br>", "<br><br><font class");
  a = TextRemove(a, kPersonLink, true);
  a = TextReplace(a, "<br>", "\r\n", true);
  a = TextRemove(a, "</a>", true);
  a = TextRemove(a, ">");
  card.actors = RemoveDigits(a, false);

  // Line breaks inside the synopsis are dropped, not turned into line ends; "<BR>" stays.
  card.synopsis = TextRemove(ExtractBetween("Sinopsis:</b>", "<br><br>"), "<br>");

  card.coverPath = ExtractBetween("/imatges/articulos/", "\"");
}
