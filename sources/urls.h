#pragma once
// The address of every request the program makes, built from the sources' hosts (hosts.h): the
// one place that knows the two sites' paths, so a site that moves a page is one line here.
//
// It only builds addresses: it does not fetch, escape or check them. The variable part goes in
// as it is given (blanks, "&", "#" and letters outside ASCII included); the fetcher escapes what
// a URL cannot hold on the wire. Every request uses the HTTP scheme.
//
//   ImdbSearchUrl("Blade Runner")       http://<IMDb host>/find?q=Blade Runner;tt=1
//   CulturaliaSearchUrl("Alien")        http://<bare domain>/bus/resu.php?texto=Alien&donde=1
//   ImdbFilmUrl("tt42")                 http://<IMDb host>/title/tt42   (no slash after the id)
//   CulturaliaFilmUrl("1234")           http://<Culturalia host>/art/ver.php?art=1234
//   ImdbPlotSummaryUrl("tt0083658")     http://<IMDb host>/title/tt0083658/plotsummary
//   CulturaliaCoverUrl("alien.jpg")     http://<Culturalia host>/imatges/articulos/alien.jpg
//   StartPageUrl()                      http://<bare domain>
//
// The "<bare domain>" is the Culturalia host without its first label (www.culturalia.example
// gives culturalia.example). The search texts take the place of the placeholder in a template,
// the ids and paths are appended; either way nothing in them is read as part of the template.
//
// ImdbProTitleLink is no request: it is how an IMDb film page links the film's page on the
// professional site, the marker in front of the title id (sources/film_imdb.cpp).
#include <string_view>

#include "services/text/text.h"

Text ImdbSearchUrl(std::string_view searchText);
Text CulturaliaSearchUrl(std::string_view searchText);
Text ImdbFilmUrl(std::string_view id);
Text CulturaliaFilmUrl(std::string_view id);
Text ImdbPlotSummaryUrl(std::string_view titleId);
Text CulturaliaCoverUrl(std::string_view imagePath);
Text StartPageUrl();

Text ImdbProTitleLink();  // "http://<professional host>/title/"
