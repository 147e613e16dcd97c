// SaveCover: the cover of the film on show, "portada.jpg", copied byte for byte to a file that
// the user names in the save dialog. The name gets ".jpg" unless its last four characters are
// exactly ".jpg" (so "Alien.JPG" becomes "Alien.JPG.jpg"); an existing file is replaced without
// a question. A copy that fails is told as such instead of being confirmed.
#include "program/gadgets.h"
#include "card/card.h"
#include "services/files/files.h"
#include "services/gui/gui.h"
#include "services/text/text.h"

namespace {
constexpr const char* kCrLf = "\r\n";
}  // namespace

void SaveCover() {
  Text name = SaveFileDialog("Elige nombre de archivo a grabar"_t, "Portada.jpg"_t,
                             "jpg (*.jpg)|Todos (*.*)|*.*"_t, 0);
  if (name.empty()) return;
  name = TextTrim(name);
  if (TextRight(name, 4) != ".jpg") name += ".jpg";

  if (FileCopy(kCoverFile, name) != 0)
    MessageAsk("Información"_t, "La portada se guardó en"_t + kCrLf + kCrLf + name,
               kAskOkInformation);
  else
    MessageAsk("Error"_t, "No se pudo guardar la portada en"_t + kCrLf + kCrLf + name,
               kAskOkError);
}
