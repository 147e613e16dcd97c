#pragma once
// The favourites list (gadget 5) and its file favoritos.ini.

inline constexpr const char* kFavouritesFile = "favoritos.ini";

void LoadFavourites();
bool SaveFavourites();          // false when the file could not be written whole
void SaveFavouritesCommand();   // the "Salvar" button: save, then clear favouritesChanged
void AddFavourite();
void RemoveFavourite();
void ReloadFavourites();
bool AskSaveFavourites();
