// Placeholder bodies, replaced when this part is built.
#include "favourites/favourites.h"

void LoadFavourites() {}
bool SaveFavourites() { return true; }
void SaveFavouritesCommand() {}
void AddFavourite() {}
void RemoveFavourite() {}
void ReloadFavourites() {}
bool AskSaveFavourites() { return false; }
