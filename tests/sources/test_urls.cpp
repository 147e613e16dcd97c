// The address table: every request's address from made-up hosts, one row per address.
#include <gtest/gtest.h>

#include <string>

#include "sources/hosts.h"
#include "sources/urls.h"
#include "tests/support/test_server.h"

namespace {

struct UrlCase {
  const char* what;
  Text url;
  const char* expected;
};

TEST(Urls, EveryRequestHasItsAddress) {
  SourceHosts& hosts = sourceHosts();
  hosts.imdb = "imdb.example:8080";
  hosts.imdbPro = "pro.imdb.example";
  hosts.culturalia = "www.culturalia.example";
  hosts.culturaliaDomain = "culturalia.example";
  const UrlCase cases[] = {
      {"IMDb search", ImdbSearchUrl("Blade Runner"),
       "http://imdb.example:8080/find?q=Blade Runner;tt=1"},
      {"Culturalia search on the bare domain", CulturaliaSearchUrl("Alien"),
       "http://culturalia.example/bus/resu.php?texto=Alien&donde=1"},
      // The text goes in as given, and only the template's placeholder is replaced.
      {"search text kept raw", CulturaliaSearchUrl("\ta&b#c;\xed"),
       "http://culturalia.example/bus/resu.php?texto=\ta&b#c;\xed&donde=1"},
      {"search for the placeholder itself", ImdbSearchUrl("estoEsLoQueBusca"),
       "http://imdb.example:8080/find?q=estoEsLoQueBusca;tt=1"},
      {"empty search text", ImdbSearchUrl(""), "http://imdb.example:8080/find?q=;tt=1"},
      {"IMDb film, no slash after the id", ImdbFilmUrl("tt42"), "http://imdb.example:8080/title/tt42"},
      {"Culturalia film on the web host", CulturaliaFilmUrl("1234"),
       "http://www.culturalia.example/art/ver.php?art=1234"},
      {"plot summaries", ImdbPlotSummaryUrl("tt0083658"),
       "http://imdb.example:8080/title/tt0083658/plotsummary"},
      {"plot summaries of an odd id", ImdbPlotSummaryUrl("a b&c"),
       "http://imdb.example:8080/title/a b&c/plotsummary"},
      {"cover", CulturaliaCoverUrl("esp\xedritu colmena.jpg"),
       "http://www.culturalia.example/imatges/articulos/esp\xedritu colmena.jpg"},
      {"start page", StartPageUrl(), "http://culturalia.example"},
      {"professional-site link in IMDb pages", ImdbProTitleLink(), "http://pro.imdb.example/title/"},
  };
  for (const UrlCase& c : cases) EXPECT_EQ(c.url, c.expected) << c.what;
  testsupport::RestoreSourceHosts();
}

}  // namespace
