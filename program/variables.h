#pragma once
// The program-wide variables, kept together so that tests can put them back to their start.
#include <cstdint>

#include "services/text/text.h"

struct ProgramVariables {
  std::int64_t quitRequested = 0;     // the loop ends after the event that set it
  std::uint8_t currentSource = 0;     // 1 Culturalia, 0 IMDb: the source of the next request
  std::uint8_t favouritesChanged = 0; // the favourites list holds unsaved changes
  std::uint8_t favouritesUnread = 0;  // favoritos.ini is there but could not be read: no save
                                      // may replace it until a load succeeds
  std::uint8_t sessionEnded = 0;      // the desktop ended the program: shutdown asks nothing
  std::int64_t pickList = 0;          // the list (4 or 5) whose selected row a film load reads
  Text lineBreak;                     // CR LF after start-up
  std::int64_t coverImageNumber = 0;  // the image holding the cover; 998 names none
  Text pageText;                      // the HTML of the page fetched last
  Text coverPath;                     // the shared cover name: "portada.jpg" once a card was shown
  std::uint8_t cardHasCover = 0;      // the card on show has its own downloaded cover
};

extern ProgramVariables program;

// Every variable back to zero or empty text, as before the first step of start-up.
void ResetProgramVariables();
