// ShowFilmCard: the eight texts of a card into their gadgets, and for a card with a cover
// reference the cover downloaded to "portada.jpg", scaled into the cover box and shown.
#include <algorithm>

#include "program/gadgets.h"
#include "program/variables.h"
#include "program/busy_window.h"
#include "card/card.h"
#include "card/round_half_even.h"
#include "services/files/files.h"
#include "services/gui/gui.h"
#include "services/images/images.h"
#include "services/webview/webview.h"
#include "sources/urls.h"

namespace {

constexpr int kCoverX = 575, kCoverY = 250, kCoverWidth = 200, kCoverHeight = 275;

// The box erases its area and keeps its place and size.
void ClearCoverBox() { GadgetSetState(kCoverBox, static_cast<ImageHandle_t>(nullptr)); }

// The lowest image number from 1 upward that holds no picture.
int LowestFreeImageNumber() {
  int n = 1;
  while (ImageExists(n)) ++n;
  return n;
}

// A scaled side to whole pixels: to the nearest integer, a value exactly halfway to the even
// neighbour. A picture far taller than wide would come out 0 pixels wide, which no bitmap can
// be, so a side keeps at least one pixel.
int ToPixels(float side) { return std::max(1, static_cast<int>(RoundHalfEven(side))); }

// Loads the downloaded cover into a fresh cover picture and shows it scaled into the box. An
// undecodable file clears the box and gives it back its place and size from the main window.
void ShowCoverPicture() {
  if (ImageExists(static_cast<int>(program.coverImageNumber)))
    ImageFree(static_cast<int>(program.coverImageNumber));
  const int number = LowestFreeImageNumber();
  program.coverImageNumber = number;
  ImageLoad(number, kCoverFile);

  float w = static_cast<float>(ImagePixelWidth(number));
  float h = static_cast<float>(ImagePixelHeight(number));
  if (!ImageExists(number) || w <= 0 || h <= 0) {
    ClearCoverBox();
    GadgetResize(kCoverBox, kCoverX, kCoverY, kCoverWidth, kCoverHeight);
    return;
  }
  // Fit the box with the aspect ratio kept; a small picture is enlarged. Single precision.
  const float byWidth = static_cast<float>(kCoverWidth) / w;
  const float byHeight = static_cast<float>(kCoverHeight) / h;
  const float s = byWidth < byHeight ? byWidth : byHeight;
  w *= s;
  h *= s;
  const int width = ToPixels(w), height = ToPixels(h);
  ImageResize(number, width, height);
  GadgetSetState(kCoverBox, ImageHandle(number));
  FlushEvents();  // input that arrived during the download is dropped
  GadgetResize(kCoverBox, kCoverX, kCoverY, kCoverWidth, kCoverHeight);
  GadgetResize(kCoverBox, kLeaveUnchanged, kLeaveUnchanged, width, height);
}

}  // namespace

void ShowFilmCard(FilmCard& card) {
  GadgetSetText(kTitleField, card.title);
  GadgetSetText(kGenreField, card.genre);
  GadgetSetText(kNationalityField, card.nationality);
  GadgetSetText(kDirectorField, card.director);
  GadgetSetText(kMoralRatingField, card.moralRating);
  GadgetSetText(kRatingField, card.rating);
  GadgetSetText(kActorsField, card.actors);
  GadgetSetText(kSynopsisText, card.synopsis);

  GadgetSetEnabled(kSaveCoverButton, false);
  program.cardHasCover = 0;

  if (card.coverPath.empty()) {
    ClearCoverBox();  // an older "portada.jpg" is left as it is
  } else {
    FileDelete(kCoverFile);
    // An older cover that could not be deleted (a read-only folder) would pass for this film's
    // own after a download that cannot replace it; then the card shows no cover.
    const bool oldCoverGone = FileSizeOf(kCoverFile) == -1;
    if (oldCoverGone) {
      DownloadToFile(CulturaliaCoverUrl(card.coverPath), "./portada.jpg");
    }
    if (!oldCoverGone || FileSizeOf(kCoverFile) <= 0) {
      ClearCoverBox();
    } else {
      // The button follows the file alone, whether or not it decodes as a picture.
      GadgetSetEnabled(kSaveCoverButton, true);
      program.cardHasCover = 1;
      ShowCoverPicture();
    }
  }

  card.coverPath = kCoverFile;
  program.coverPath = kCoverFile;
}
