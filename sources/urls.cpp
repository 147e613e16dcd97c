// The sources' address table: each template with its host, and where the variable part goes.
#include "sources/urls.h"

#include "sources/hosts.h"

namespace {

constexpr std::string_view kPlaceholder = "ESTOESLOQUEBUSCA";

Text On(const Text& host, std::string_view pathAndQuery) {
  Text url = "http://" + host;
  url += pathAndQuery;
  return url;
}

// The template's one placeholder, in any letter case, replaced by the text.
Text Filled(const Text& templ, std::string_view text) {
  return TextReplace(templ, kPlaceholder, text, true);
}

}  // namespace

Text ImdbSearchUrl(std::string_view searchText) {
  return Filled(On(sourceHosts().imdb, "/find?q=ESTOESLOQUEBUSCA;tt=1"), searchText);
}

Text CulturaliaSearchUrl(std::string_view searchText) {
  return Filled(On(sourceHosts().culturaliaDomain, "/bus/resu.php?texto=ESTOESLOQUEBUSCA&donde=1"),
                searchText);
}

Text ImdbFilmUrl(std::string_view id) { return On(sourceHosts().imdb, "/title/") + Text(id); }

Text CulturaliaFilmUrl(std::string_view id) {
  return On(sourceHosts().culturalia, "/art/ver.php?art=") + Text(id);
}

Text ImdbPlotSummaryUrl(std::string_view titleId) {
  return Filled(On(sourceHosts().imdb, "/title/ESTOESLOQUEBUSCA/plotsummary"), titleId);
}

Text CulturaliaCoverUrl(std::string_view imagePath) {
  return On(sourceHosts().culturalia, "/imatges/articulos/") + Text(imagePath);
}

Text StartPageUrl() { return On(sourceHosts().culturaliaDomain, ""); }

Text ImdbProTitleLink() { return On(sourceHosts().imdbPro, "/title/"); }
