#pragma once
// The card area of the main window, made as the main window makes it: the eight card texts,
// the cover box with the no-cover picture and the save-cover button. Shared by the card tests.
#include "program/gadgets.h"
#include "services/gui/gui.h"
#include "services/images/images.h"

namespace cardtest {

inline void BuildCardWindow() {
  WindowOpen(kMainWindow, 0, 0, 785, 590, "Cinevarta", kWindowInvisible);
  GadgetCreateTextField(kActorsField, 595, 45, 175, 195, "AQUI LOS ACTORES",
                        kTextFieldReadOnly | kTextFieldMultiLine | kTextFieldBorderless);
  GadgetCreatePicture(kCoverBox, 575, 250, 200, 275, ImageHandle(kNoCoverImage));
  GadgetResize(kCoverBox, 575, 250, 200, 275);
  ImageResize(kNoCoverImage, 200, 275);
  GadgetSetState(kCoverBox, ImageHandle(kNoCoverImage));
  GadgetCreateButton(kSaveCoverButton, 575, 525, 200, 25, "Guardar la Imagen");
  GadgetSetEnabled(kSaveCoverButton, false);
  const int fields[] = {kTitleField, kGenreField, kNationalityField, kDirectorField,
                        kMoralRatingField, kRatingField};
  for (int i = 0; i < 6; ++i)
    GadgetCreateTextField(fields[i], 235, 50 + 35 * i, i == 5 ? 95 : 340, 15, "...",
                          kTextFieldReadOnly | kTextFieldBorderless);
  GadgetCreateLabel(kSynopsisText, 230, 265, 335, 280, "...", 0);
  WindowSetVisible(kMainWindow, true);
}

}  // namespace cardtest
