#pragma once
// The favourites list (gadget 5) and its file favoritos.ini in the working directory.
//
// A favourite is a copy of a titles-list row: title, id and source letter ("C" Culturalia,
// "I" IMDb). The file holds one line per row, top row first: title "#" id "#" letter CR LF, in
// Windows-1252 without a byte-order mark; an empty list is saved by deleting the file (or, when
// the file has other hard links, by emptying it, so that every name still shows one list).
//
// Reading is forgiving, so that files of earlier releases still load. Each line is trimmed of
// spaces first; then, by the "#" in it:
//   "Alien#123#C"     -> Alien | 123 | C   (ends in "#C" or "#I": the last two "#" end title and
//   "Rec #2#77#C"     -> Rec #2 | 77 | C    id, so a title holding "#" comes back whole)
//   "Alien#123#C#x"   -> Alien | 123 | C   (any other end: fields 1, 2 and 3, the rest ignored)
//   "Alien#123"       -> Alien | 123 | C   (one "#": the letter was not written then)
//   "Alien" + " 123 " -> Alien | 123 | C   (none: the line is a title, the next line, trimmed, its
//   "" + "123"        ->       | 123 | C    id, even when the title line is blank)
// A row whose title and id are both empty (an empty file, a blank line at the end) is left out.
// Spaces beside a "#" stay in the fields: "Alien#123# C" has the letter " C", which is not "C".
//
// Saving never loses the file on disk nor changes what it is (file_replace.h): a new content
// replaces the old one whole or not at all, links stay links, the mode, owner, ACL and other
// attributes stay, a file the user made read-only or a link the system will not follow is
// refused, a file the user may write in a folder they may not is written in place, and two
// programs saving at once each save a whole list or fail; a load waits for a save to end. A
// save cut short (the program killed halfway) is undone at the next load, which puts the kept
// copy of the old list back and tells the user. A file that exists but could not be read at the
// last load is never replaced or deleted either: its favourites were never shown, so a save
// would lose them. A failed save tells the user in a message box and keeps `favouritesChanged`,
// so the question still comes at exit.
//
// The event loop calls the buttons' commands; start-up calls LoadFavourites after attaching the
// column sorter; shutdown asks AskSaveFavourites and runs SaveFavourites on Yes. Opening a
// favourite is the titles list's work (a click on gadget 5 is a click on a search hit).

inline constexpr const char* kFavouritesFile = "favoritos.ini";

void LoadFavourites();
bool SaveFavourites();          // false when the file was not written (user told)
void SaveFavouritesCommand();   // the "Salvar" button: save, then clear favouritesChanged
void AddFavourite();            // the "Añadir a Favoritos" button
void RemoveFavourite();         // the "Eliminar" button
void ReloadFavourites();        // the "Recargar" button
bool AskSaveFavourites();       // true when the user answers Yes
