// The favourites list and its file, written as the list's buttons work on it.
#include "favourites/favourites.h"

#include <cstdint>
#include <string_view>
#include <string>

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

// One entry of the file from its first line, trimmed; the two-line form takes its id from the
// next line of `rest`.
Favourite ReadEntry(const Text& line, std::string_view& rest) {
  const std::string_view text(line);
  const std::size_t last = text.rfind('#');
  if (last == std::string_view::npos) return {line, TextTrim(FileTakeLine(rest)), "C"};
  const std::string_view tail = text.substr(last + 1);
  const std::size_t before = last == 0 ? std::string_view::npos : text.rfind('#', last - 1);
  if (before != std::string_view::npos && IsSourceLetter(tail))
    return {Text(text.substr(0, before)), Text(text.substr(before + 1, last - before - 1)),
            Text(tail)};
  Text letter = TextField(text, 3, "#");
  return {TextField(text, 1, "#"), TextField(text, 2, "#"), letter.empty() ? "C"_t : letter};
}

// Fills the list from favoritos.ini, read whole under the lock the saves take, so that it never
// holds half of another program's save. True when a kept copy was put back first.
bool LoadFavouritesFile() {
  std::string content;
  int putBack = 0;
  const int read = FileReadContent(kFavouritesFile, content, putBack);
  // No file: nothing on disk that a save could lose. A file that could not be read: the list
  // stays as it was, and the file stays out of reach of every save until a load succeeds.
  program.favouritesUnread = read < 0 ? 1 : 0;
  if (read <= 0) return false;
  ListClear(kFavouritesList);
  std::string_view rest(content);
  do {
    const Favourite entry = ReadEntry(TextTrim(FileTakeLine(rest)), rest);
    if (!entry.title.empty() || !entry.id.empty())
      AppendFavouriteRow(entry.title, entry.id, entry.letter);
  } while (!rest.empty());
  SortFavourites();
  return putBack != 0;
}

}  // namespace

void LoadFavourites() {
  // Told once the list it speaks of is on show.
  if (LoadFavouritesFile()) TellPutBack();
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
