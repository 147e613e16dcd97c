#pragma once
// Cutting a field out of the current page between two markers, and the clean-up of character
// references and percent escapes applied to every field of a film card.
#include "services/text/text.h"

// The text between the first occurrence of start in pageText and the next end after it;
// "" when start is missing or no end follows it. E.g. with pageText "<b>x</b><b>y</b>",
// ExtractBetween("<b>", "</b>") is "x".
Text ExtractBetween(std::string_view start, std::string_view end);

// Numeric references ("&#233;" becomes the single byte 233, repeatedly, until the first "&#"
// starts no reference) and "%20", "%7B", "%7D" as " ", "(", ")".
Text DecodeEntities(std::string_view text);
