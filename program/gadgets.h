#pragma once
// The numbers of the windows, gadgets, shortcuts, images and files, named by their roles.

// Windows.
inline constexpr int kMainWindow = 1;
inline constexpr int kBusyWindow = 2;

// Gadgets of the main window, in creation order, and the busy window's label.
inline constexpr int kWebView = 1;
inline constexpr int kSearchField = 2;
inline constexpr int kSearchButton = 3;
inline constexpr int kTitlesList = 4;
inline constexpr int kFavouritesList = 5;
inline constexpr int kAddFavouriteButton = 6;
inline constexpr int kRemoveFavouriteButton = 7;
inline constexpr int kSaveFavouritesButton = 8;
inline constexpr int kReloadFavouritesButton = 9;
inline constexpr int kPrintButton = 10;
inline constexpr int kExitButton = 11;
inline constexpr int kCreditLink = 12;
inline constexpr int kCardFrame = 13;
inline constexpr int kTitleFrame = 14;
inline constexpr int kSearchFrame = 15;
inline constexpr int kGenreFrame = 16;
inline constexpr int kNationalityFrame = 17;
inline constexpr int kDirectorFrame = 18;
inline constexpr int kMoralRatingFrame = 19;
inline constexpr int kRatingFrame = 20;
inline constexpr int kSynopsisFrame = 21;
inline constexpr int kActorsFrame = 22;
inline constexpr int kActorsField = 23;
inline constexpr int kCoverBox = 24;
inline constexpr int kSaveCoverButton = 25;
inline constexpr int kCulturaliaOption = 26;
inline constexpr int kImdbOption = 27;
inline constexpr int kTitleField = 28;
inline constexpr int kGenreField = 29;
inline constexpr int kNationalityField = 30;
inline constexpr int kDirectorField = 31;
inline constexpr int kMoralRatingField = 32;
inline constexpr int kRatingField = 33;
inline constexpr int kSynopsisText = 34;
inline constexpr int kBusyLabel = 35;

// The Enter key's shortcut number in the main window.
inline constexpr int kEnterShortcut = 111;

// Images.
inline constexpr int kPrinterIconImage = 1;
inline constexpr int kPowerIconImage = 2;
inline constexpr int kNoCoverImage = 3;
inline constexpr int kNoCoverNumber = 998;  // coverImageNumber before the first cover
inline constexpr int kPrintPictureImage = 999;

// The one file number the program opens files under.
inline constexpr int kAppFile = 1;

// Sources, as held in currentSource.
inline constexpr unsigned char kSourceImdb = 0;
inline constexpr unsigned char kSourceCulturalia = 1;

// Colours.
#include "services/gui/gui.h"
inline constexpr Rgb kPaleYellow{255, 255, 191};
inline constexpr Rgb kCream{255, 245, 206};
