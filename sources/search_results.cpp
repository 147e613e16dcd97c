// Placeholder bodies, replaced when this part is built.
#include "sources/sources.h"

void ParseSearchResults() {}
void ResetLookupView() {}
void SelectListEntry(int) {}
