#pragma once
// The numeric-reference step of DecodeEntities: the result of its passes, computed without
// rereading the whole text on every pass.
//
// The rule is a loop of passes over a text T: take the text n between the first "&#" in T and the
// first ";" after it; stop when n is empty; otherwise replace every "&#" + n + ";" in T by the byte
// of n's value (nothing for a low byte of 0), and start again from the front. E.g.
//   "&#38;#65;"       first pass "&#38;" -> "&", giving "&#65;"; second pass gives "A"
//   "&#65;x&#65;"     one pass replaces both copies: "AxA"
//   "&#;&#65;"        the first "&#" starts no reference: nothing changes
//   "&#66 &#65;"      the first reference runs to the first ";": "66 &#65" is worth 66, so "B"
//   "&#65;&#;&#65;"   the pass of "&#65;" takes both copies; then "&#;" ends the loop: "A&#;A"
// It does not touch the percent escapes; DecodeEntities replaces them afterwards.
#include <string_view>

#include "services/text/text.h"

Text DecodeReferencePasses(std::string_view text);
