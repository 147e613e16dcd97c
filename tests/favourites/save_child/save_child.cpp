// A program that only loads favoritos.ini and saves a new list to it, as Cinevarta does, for the
// test that kills a save part-way (test_favourites_cut_short.cpp): it starts with few system
// calls, the same ones every time, so that the test can count those of the load and the save.
//   save_child "<list>"   load (putting back what a save cut short left), then save the list
//                         (an empty one empties or deletes the file); 0 when it was saved
//   save_child            end at once: what starting costs
#include <string>

#include "favourites/favourites.h"
#include "services/files/file_replace.h"

int main(int argc, char** argv) {
  if (argc < 2) return 0;
  std::string loaded;
  int putBack = 0;
  if (FileReadContent(kFavouritesFile, loaded, putBack) < 0) return 2;
  const std::string list = argv[1];
  const int saved = list.empty() ? FileDiscardContent(kFavouritesFile)
                                 : FileReplaceContent(kFavouritesFile, list);
  return saved != 0 ? 0 : 1;
}
