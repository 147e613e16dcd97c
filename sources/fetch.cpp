// Placeholder bodies, replaced when this part is built.
#include "sources/sources.h"

void FetchPage(const Text&) {}
void SearchSource() {}
void RunSearch() {}
void FetchFilmPage() {}
void LoadFilm() {}
