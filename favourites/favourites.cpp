// The favourites list and its file, written as the list's buttons work on it.
#include "favourites/favourites.h"

#include <cstdint>
#include <string_view>

#include "app/gadgets.h"
#include "app/globals.h"
#include "services/columnsort/columnsort.h"
#include "services/files/file_rename.h"
#include "services/files/files.h"
#include "services/gui/gui.h"
#include "services/text/text.h"

void (*favouritesBeforeReplace)() = nullptr;

namespace {

const Text kLineFeed(1, '\n');

void AppendFavouriteRow(std::string_view title, std::string_view id, std::string_view letter) {
  Text row;
  row.reserve(title.size() + id.size() + letter.size() + 2);
  row.append(title).append(kLineFeed).append(id).append(kLineFeed).append(letter);
  ListAddRow(kFavouritesList, -1, row);
}

void SortFavourites() { ColumnSorterSortNow(kFavouritesList, 0, kSortAscending); }

// The file's line for row `row`: title "#" id "#" letter, without the line end.
Text FavouriteLine(std::int64_t row) {
  Text line = ListCellText(kFavouritesList, static_cast<int>(row), 0);
  line += '#';
  line += ListCellText(kFavouritesList, static_cast<int>(row), 1);
  line += '#';
  line += ListCellText(kFavouritesList, static_cast<int>(row), 2);
  return line;
}

void TellSaveFailed() {
  MessageAsk("Error"_t,
             "No se pudo guardar la lista de favoritos."_t + program.lineBreak + program.lineBreak +
                 kFavouritesFile,
             kAskOkError);
}

// Writes every row into the new file and checks that all of it reached the disk: the writes
// are buffered and closing reports nothing, so the size on disk is the proof.
bool WriteNewFile() {
  if (FileCreate(kAppFile, kFavouritesNewFile) == 0) return false;
  std::int64_t expected = 0;
  bool complete = true;
  for (std::int64_t i = 0; i <= ListCount(kFavouritesList) - 1; ++i) {
    const Text line = FavouriteLine(i);
    const std::int64_t wanted = static_cast<std::int64_t>(line.size()) + 2;
    expected += wanted;
    if (FileWriteLine(kAppFile, line) != wanted) {
      complete = false;
      break;
    }
  }
  FileClose(kAppFile);
  if (complete && FileSizeOf(kFavouritesNewFile) == expected) return true;
  FileDelete(kFavouritesNewFile);
  return false;
}

}  // namespace

void LoadFavourites() {
  if (FileSizeOf(kFavouritesFile) == -1) return;
  // A file that is there but cannot be opened (a folder, no permission) keeps the list as it is.
  if (FileOpenOrCreate(kAppFile, kFavouritesFile) == 0) return;
  ListClear(kFavouritesList);
  do {
    const Text line = TextTrim(FileReadLine(kAppFile));
    if (line.empty()) continue;
    const std::string_view text(line);
    const std::size_t last = text.rfind('#');
    if (last == std::string_view::npos) {
      const Text id = TextTrim(FileReadLine(kAppFile));
      AppendFavouriteRow(text, id, "C");
      continue;
    }
    const std::size_t before = last == 0 ? std::string_view::npos : text.rfind('#', last - 1);
    if (before == std::string_view::npos) {
      AppendFavouriteRow(text.substr(0, last), text.substr(last + 1), "C");
      continue;
    }
    std::string_view letter = text.substr(last + 1);
    AppendFavouriteRow(text.substr(0, before), text.substr(before + 1, last - before - 1),
                       letter.empty() ? std::string_view("C") : letter);
  } while (FileAtEnd(kAppFile) == 0);
  FileClose(kAppFile);
  SortFavourites();
}

bool SaveFavourites() {
  bool saved = false;
  if (ListCount(kFavouritesList) < 1) {
    FileDelete(kFavouritesFile);
    saved = FileSizeOf(kFavouritesFile) == -1;
  } else if (WriteNewFile()) {
    if (favouritesBeforeReplace != nullptr) favouritesBeforeReplace();
    saved = FileRename(kFavouritesNewFile, kFavouritesFile) != 0;
    if (!saved) FileDelete(kFavouritesNewFile);
  }
  FileClose(kAppFile);
  if (!saved) TellSaveFailed();
  return saved;
}

void SaveFavouritesCommand() {
  if (SaveFavourites()) program.favouritesChanged = 0;
}

void AddFavourite() {
  const std::int64_t row = GadgetGetState(kTitlesList);
  if (row >= 0) {
    const int r = static_cast<int>(row);
    AppendFavouriteRow(ListCellText(kTitlesList, r, 0), ListCellText(kTitlesList, r, 1),
                       ListCellText(kTitlesList, r, 2));
  }
  program.favouritesChanged = 1;
  SortFavourites();
}

void RemoveFavourite() {
  const std::int64_t row = GadgetGetState(kFavouritesList);
  if (row >= 0) ListRemoveRow(kFavouritesList, static_cast<int>(row));
  program.favouritesChanged = 1;
}

void ReloadFavourites() {
  if (program.favouritesChanged == 1 && AskSaveFavourites()) {
    // The user asked for the changes to be kept; when they could not be written, reloading
    // would throw them away, so the list and its flag stay as they are.
    if (!SaveFavourites()) return;
  }
  LoadFavourites();
  program.favouritesChanged = 0;
}

bool AskSaveFavourites() {
  return MessageAsk("Cambios en FAVORITOS sin salvar"_t,
                    "LA LISTA DE FAVORITOS HA CAMBIADO, ¿QUIERES SALVARLA?"_t,
                    kAskYesNo) == kAnswerYes;
}
