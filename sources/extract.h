#pragma once
// Cutting a field out of the current page between two markers, and the clean-up of character
// references and percent escapes applied to every field of a film card.
#include <cstdint>
#include <string_view>

#include "services/text/text.h"

// The text between the first occurrence of start in pageText and the next end after it;
// "" when start is missing or no end follows it. E.g. with pageText "<b>x</b><b>y</b>",
// ExtractBetween("<b>", "</b>") is "x".
Text ExtractBetween(std::string_view start, std::string_view end);

// Numeric references and then "%20", "%7B", "%7D" as " ", "(", ")". The references go pass after
// pass: the text n between the first "&#" and the first ";" after it, every "&#" + n + ";" replaced
// by the byte of n's value (nothing for a low byte of 0), until the first "&#" starts no
// reference. E.g. "&#65;x&#65;" gives "AxA" in one pass; "&#38;#65;" gives "&#65;" and then "A";
// "&#66 &#65;" gives "B" (n is "66 &#65"); "&#;&#65;" stays as it is. When every "&#" starts a
// reference closed by its own ";" and decoding makes no new "&#", as in the fields of real pages,
// the passes come to each reference replaced by its byte, which one reading of the field gives;
// other fields go pass by pass, within kDecodePassBudget.
Text DecodeEntities(std::string_view text);

// The bytes that the passes of DecodeEntities may read in all, a pass reading the whole field.
// It exists because the passes are quadratic on hostile fields: nested or distinct references
// cost a pass each, and a 16 MB field of them would take hours. No pass starts that would read
// past it, and the references the passes have not reached stay as written. At 64 MB a 16 MB
// field gets four passes, a small fraction of a second, and a 64 KB field a thousand.
inline constexpr std::int64_t kDecodePassBudget = std::int64_t{1} << 26;
