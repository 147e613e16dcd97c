// The favourites list and its file, written as the list's buttons work on it.
#include "favourites/favourites.h"

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "program/gadgets.h"
#include "program/variables.h"
#include "services/columnsort/columnsort.h"
#include "services/files/file_replace.h"
#include "services/files/files.h"
#include "services/gui/gui.h"
#include "services/text/text.h"

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

// A save cut short (the program killed while it wrote) left a copy of the list as it was; the
// load has put it back, so the person sees that list rather than half of the new one.
void TellPutBack() {
  MessageAsk("Favoritos recuperados"_t,
             "La última vez, la lista de favoritos no se terminó de guardar."_t +
                 program.lineBreak +
                 "Se ha recuperado la lista tal como estaba antes de aquel guardado."_t +
                 program.lineBreak + program.lineBreak + kFavouritesFile,
             kAskOkInformation);
}

struct Favourite {
  Text title, id, letter;
};

bool IsSourceLetter(std::string_view text) { return text == "C" || text == "I"; }

// One entry of the file from its first line, trimmed; the two-line form reads its id from the
// next line of file 1.
Favourite ReadEntry(const Text& line) {
  const std::string_view text(line);
  const std::size_t last = text.rfind('#');
  if (last == std::string_view::npos) return {line, TextTrim(FileReadLine(kAppFile)), "C"};
  const std::string_view tail = text.substr(last + 1);
  const std::size_t before = last == 0 ? std::string_view::npos : text.rfind('#', last - 1);
  if (before != std::string_view::npos && IsSourceLetter(tail))
    return {Text(text.substr(0, before)), Text(text.substr(before + 1, last - before - 1)),
            Text(tail)};
  Text letter = TextField(text, 3, "#");
  return {TextField(text, 1, "#"), TextField(text, 2, "#"), letter.empty() ? "C"_t : letter};
}

// Every entry of favoritos.ini, in the file's order; false when the file could not be read to
// its end (then the entries are not to be trusted).
bool ReadFavouritesFile(std::int64_t size, std::vector<Favourite>& entries) {
  // A folder opens for reading on this system; only its reads fail.
  if (size == -2 || FileOpenRead(kAppFile, kFavouritesFile) == 0) return false;
  do {
    Favourite entry = ReadEntry(TextTrim(FileReadLine(kAppFile)));
    if (!entry.title.empty() || !entry.id.empty()) entries.push_back(std::move(entry));
  } while (FileAtEnd(kAppFile) == 0);
  return FileClose(kAppFile) != 0;
}

void LoadFavouritesFile() {
  const std::int64_t size = FileSizeOf(kFavouritesFile);
  if (size == -1) {
    // No file: nothing on disk that a save could lose.
    program.favouritesUnread = 0;
    return;
  }
  std::vector<Favourite> entries;
  if (!ReadFavouritesFile(size, entries)) {
    // The list stays as it was, and the file stays out of reach of every save until a load
    // succeeds.
    program.favouritesUnread = 1;
    return;
  }
  program.favouritesUnread = 0;
  ListClear(kFavouritesList);
  for (const Favourite& entry : entries) AppendFavouriteRow(entry.title, entry.id, entry.letter);
  SortFavourites();
}

}  // namespace

void LoadFavourites() {
  const bool putBack = FilePutBackKeptCopy(kFavouritesFile) != 0;
  LoadFavouritesFile();
  // Told once the list it speaks of is on show.
  if (putBack) TellPutBack();
}

bool SaveFavourites() {
  bool saved = false;
  if (program.favouritesUnread == 0) {
    const std::int64_t count = ListCount(kFavouritesList);
    if (count < 1) {
      saved = FileDiscardContent(kFavouritesFile) != 0;
    } else {
      Text content;
      for (std::int64_t i = 0; i < count; ++i) content.append(FavouriteLine(i)).append("\r\n");
      saved = FileReplaceContent(kFavouritesFile, content) != 0;
    }
  }
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
