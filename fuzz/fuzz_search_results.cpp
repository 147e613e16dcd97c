// Fuzzes ParseSearchResults on an arbitrary search page into a real titles list. The first byte
// chooses the source (odd: Culturalia); the rest is the page. The cells are read back after.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "program/gadgets.h"
#include "program/variables.h"
#include "services/gui/gui.h"
#include "sources/sources.h"

namespace {

bool MakeTitlesList() {
  GuiInit();
  WindowOpen(kMainWindow, 0, 0, 400, 300, "fuzz", kWindowInvisible);
  GadgetCreateList(kTitlesList, 0, 0, 300, 200, "TITULOS ENCONTRADOS", 160, kListFullRowSelect);
  ListAddColumn(kTitlesList, 1, "Indice", 0);
  ListAddColumn(kTitlesList, 2, "bd", 30);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool ready = MakeTitlesList();
  (void)ready;
  if (size == 0) return 0;
  std::string_view page(reinterpret_cast<const char*>(data) + 1, size - 1);
  page = page.substr(0, page.find('\0'));
  program.currentSource = (data[0] & 1) ? kSourceCulturalia : kSourceImdb;
  program.pageText.assign(page);
  ParseSearchResults();
  // Read every cell back, as a click on an entry would.
  for (std::int64_t row = 0, rows = ListCount(kTitlesList); row < rows; ++row)
    for (int column = 0; column < 3; ++column)
      (void)ListCellText(kTitlesList, static_cast<int>(row), column);
  return 0;
}
