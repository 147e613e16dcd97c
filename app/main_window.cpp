// The main window: window 1 and gadgets 1 to 34, made in one pass in the order of the layout
// table, each gadget that has a font given a font of its own before the next one is made.
#include "program/gadgets.h"
#include "app/shell.h"
#include "services/images/images.h"
#include "services/webview/webview.h"
#include "sources/urls.h"

namespace {

constexpr int kBold = kFontBold;
constexpr int kListOptions = kListFullRowSelect | kListGridLines | kListKeepSelection;
constexpr int kCardFieldOptions = kTextFieldReadOnly | kTextFieldBorderless;

// Each gadget's font lives under the gadget's own number.
void GiveFont(int gadget, int points, int style) {
  GadgetSetFont(gadget, FontLoad(gadget, "Arial"_t, points, style));
}

void Frame(int number, int x, int y, int w, int h, const Text& caption, int points) {
  GadgetCreateFrame(number, x, y, w, h, caption);
  GiveFont(number, points, kBold);
}

void CardField(int number, int x, int y, int w, const Text& text) {
  GadgetCreateTextField(number, x, y, w, 15, text, kCardFieldOptions);
  GiveFont(number, 8, kBold);
  GadgetSetBackColour(number, kPaleYellow);
}

void List(int number, int x, int y, int w, int h) {
  GadgetCreateList(number, x, y, w, h, "ListIcon5"_t, 100, kListOptions);
  GiveFont(number, 9, kBold);
  ListSetColours(number, kPaleYellow);
}

// What a screen reader says for the gadgets whose own text does not name them: a field by the
// title of the frame around it, the picture buttons and the cover by what they are. (The lists
// are named by their first column's heading in the GUI layer.)
void NameForScreenReaders() {
  constexpr struct {
    int field, frame;
  } kFieldsInFrames[] = {
      {kSearchField, kSearchFrame},         {kTitleField, kTitleFrame},
      {kGenreField, kGenreFrame},           {kNationalityField, kNationalityFrame},
      {kDirectorField, kDirectorFrame},     {kMoralRatingField, kMoralRatingFrame},
      {kRatingField, kRatingFrame},         {kActorsField, kActorsFrame},
      {kSynopsisText, kSynopsisFrame},
  };
  for (const auto& f : kFieldsInFrames) GadgetSetAccessibleName(f.field, GadgetGetText(f.frame));
  GadgetSetAccessibleName(kPrintButton, "Imprimir la ficha"_t);
  GadgetSetAccessibleName(kExitButton, "Salir"_t);
  GadgetSetAccessibleName(kCoverBox, "Portada"_t);
}

}  // namespace

NativeHandle BuildMainWindow() {
  NativeHandle window =
      WindowOpen(kMainWindow, 67, -12, 795, 560, "CineVarta v1.5"_t,
                 kWindowCentre | kWindowInvisible | kWindowTitleBar | kWindowSystemMenu |
                     kWindowMinimiseBox);
  if (window == nullptr) return nullptr;
  WindowSetBackColour(kMainWindow, kPaleYellow);

  GadgetCreateWebView(kWebView, 385, 5, 200, 150, StartPageUrl(), 0);
  GadgetCreateTextField(kSearchField, 10, 35, 200, 18, "Blade Runner"_t, 0);
  GiveFont(kSearchField, 10, kBold);
  GadgetCreateButton(kSearchButton, 120, 55, 90, 25, "Buscar"_t);
  GiveFont(kSearchButton, 10, kBold | kFontItalic);
  List(kTitlesList, 5, 90, 210, 138);
  List(kFavouritesList, 5, 255, 210, 219);
  GadgetCreateButton(kAddFavouriteButton, 5, 230, 210, 25, "Añadir a Favoritos"_t);
  GiveFont(kAddFavouriteButton, 9, kBold);
  GadgetCreateButton(kRemoveFavouriteButton, 5, 475, 70, 20, "Eliminar"_t);
  GiveFont(kRemoveFavouriteButton, 9, kBold);
  GadgetCreateButton(kSaveFavouritesButton, 85, 475, 50, 20, "Salvar"_t);
  GiveFont(kSaveFavouritesButton, 9, kBold);
  GadgetCreateButton(kReloadFavouritesButton, 145, 475, 70, 20, "Recargar"_t);
  GiveFont(kReloadFavouritesButton, 9, kBold);
  GadgetCreatePictureButton(kPrintButton, 5, 510, 45, 40, ImageHandle(kPrinterIconImage));
  GadgetCreatePictureButton(kExitButton, 165, 510, 45, 40, ImageHandle(kPowerIconImage));
  // The credit is short enough to show whole in its label: 64 pixels of 90 at 10-point bold in
  // Liberation Sans, the face "Arial" resolves to.
  GadgetCreateLink(kCreditLink, 60, 525, 90, 20, "Varta 2004"_t, Rgb{0, 0, 255});
  GiveFont(kCreditLink, 10, kBold | kFontUnderline);
  Frame(kCardFrame, 220, 10, 565, 545, "FICHA TÉCNICA"_t, 12);
  Frame(kTitleFrame, 225, 35, 355, 35, "TÍTULO"_t, 8);
  Frame(kSearchFrame, 5, 10, 210, 75, "Pelicula a Buscar..."_t, 12);
  Frame(kGenreFrame, 225, 70, 355, 35, "GÉNERO"_t, 8);
  Frame(kNationalityFrame, 225, 105, 355, 35, "NACIONALIDAD"_t, 8);
  Frame(kDirectorFrame, 225, 140, 355, 35, "DIRECTOR"_t, 8);
  Frame(kMoralRatingFrame, 225, 175, 355, 35, "Calificación Moral"_t, 8);
  Frame(kRatingFrame, 225, 210, 115, 35, "PUNTUACIÓN"_t, 8);
  Frame(kSynopsisFrame, 225, 245, 345, 305, "SINOPSIS"_t, 10);
  Frame(kActorsFrame, 590, 25, 185, 220, "ACTORES"_t, 10);
  GadgetCreateTextField(kActorsField, 595, 45, 175, 195, "AQUI LOS ACTORES"_t,
                        kTextFieldReadOnly | kTextFieldMultiLine | kTextFieldBorderless);
  GiveFont(kActorsField, 8, kBold);
  GadgetSetBackColour(kActorsField, kPaleYellow);

  // A picture box takes the size of every picture it is given, so the box is put back to its
  // place and the picture rescaled to fit before it is given again.
  GadgetCreatePicture(kCoverBox, 575, 250, 200, 275, ImageHandle(kNoCoverImage));
  GadgetResize(kCoverBox, 575, 250, 200, 275);
  ImageResize(kNoCoverImage, 200, 275);
  GadgetSetState(kCoverBox, ImageHandle(kNoCoverImage));

  GadgetCreateButton(kSaveCoverButton, 575, 525, 200, 25, "Guardar la Imagen"_t);
  GiveFont(kSaveCoverButton, 9, kBold);
  GadgetCreateOption(kCulturaliaOption, 10, 55, 105, 15, "Usar Culturalia"_t);
  GiveFont(kCulturaliaOption, 8, kBold);
  GadgetCreateOption(kImdbOption, 10, 70, 95, 15, "Usar IMDB"_t);
  GiveFont(kImdbOption, 8, kBold);
  CardField(kTitleField, 235, 50, 340, "AQUÍ EL TÍTULO DE LA PELÍCULA"_t);
  CardField(kGenreField, 235, 85, 340, "AQUÍ EL GÉNERO DE LA PELÍCULA"_t);
  CardField(kNationalityField, 235, 120, 340, "AQUÍ LA NACIONALIDAD"_t);
  CardField(kDirectorField, 235, 155, 340, "AQUÍ EL DIRECTOR"_t);
  CardField(kMoralRatingField, 235, 190, 340, "AQUÍ LA CALIFICACIÓN MORAL"_t);
  CardField(kRatingField, 235, 225, 95, "PUNTUACIÓN"_t);
  GadgetCreateLabel(kSynopsisText, 230, 265, 335, 280, "..."_t, 0);
  GadgetSetBackColour(kSynopsisText, kPaleYellow);
  NameForScreenReaders();

  WindowSetVisible(kMainWindow, true);
  return window;
}
