#pragma once
// The favourites list (gadget 5) and its file favoritos.ini in the working directory.
//
// A favourite is a copy of a titles-list row: title, id and source letter ("C" Culturalia,
// "I" IMDb). The file holds one line per row, top row first: title "#" id "#" letter CR LF, in
// Windows-1252 without a byte-order mark; an empty list is saved by deleting the file.
//
// Reading is forgiving, so that files of earlier releases still load. Each line is trimmed of
// spaces first; an empty line gives no row. Then, by the number of "#" in it:
//   "Alien#123#C"     -> Alien | 123 | C   (two or more: the last two "#" end title and id, so
//   "Rec #2#77#C"     -> Rec #2 | 77 | C    a title holding "#" comes back whole)
//   "Alien#123"       -> Alien | 123 | C   (one "#": the letter was not written then)
//   "Alien" + " 123 " -> Alien | 123 | C   (none: the next line, trimmed, is the id)
// Spaces beside a "#" stay in the fields: "Alien#123# C" has the letter " C", which is not "C".
//
// Saving writes a new file beside the old one and puts it in the old one's place only when it
// is complete, so a failed save or a crash never loses the list on disk. A failed save tells the
// user in a message box and keeps `favouritesChanged`, so the question still comes at exit.
//
// The event loop calls the buttons' commands; start-up calls LoadFavourites after attaching the
// column sorter; shutdown asks AskSaveFavourites and runs SaveFavourites on Yes. Opening a
// favourite is the titles list's work (a click on gadget 5 is a click on a search hit).

inline constexpr const char* kFavouritesFile = "favoritos.ini";
// The new content is written here first; it lives only for the moment of a save.
inline constexpr const char* kFavouritesNewFile = "favoritos.ini.nuevo";

void LoadFavourites();
bool SaveFavourites();          // false when the file could not be written whole (user told)
void SaveFavouritesCommand();   // the "Salvar" button: save, then clear favouritesChanged
void AddFavourite();            // the "Añadir a Favoritos" button
void RemoveFavourite();         // the "Eliminar" button
void ReloadFavourites();        // the "Recargar" button
bool AskSaveFavourites();       // true when the user answers Yes

// Called by SaveFavourites when the new file is complete, just before it replaces the old one;
// null in the program. Tests end the process here to show what a crash at that moment leaves.
extern void (*favouritesBeforeReplace)();
