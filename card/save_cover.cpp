// Placeholder bodies, replaced when this part is built.
#include "card/card.h"

void SaveCover() {}
