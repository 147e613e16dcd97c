// Placeholder bodies, replaced when this part is built.
#include "card/card.h"

void PrintCard() {}
std::int64_t PageXToPixels(double, std::int64_t) { return 0; }
std::int64_t PageYToPixels(double, std::int64_t) { return 0; }
