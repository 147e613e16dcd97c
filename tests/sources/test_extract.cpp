// Cutting fields out of the current page between markers, and the decoding of numeric
// references and percent escapes, pass after pass.
#include <gtest/gtest.h>

#include <string>

#include "program/variables.h"
#include "services/text/text.h"
#include "sources/extract.h"

namespace {

class Extract : public ::testing::Test {
 protected:
  void SetUp() override { ResetProgramVariables(); }
  void TearDown() override { ResetProgramVariables(); }
};

TEST_F(Extract, BetweenMarkers) {
  auto check = [](std::string_view page, std::string_view start, std::string_view end,
                  std::string_view expected) {
    program.pageText = Text(page);
    EXPECT_EQ(ExtractBetween(start, end), expected)
        << "page \"" << page << "\", start \"" << start << "\", end \"" << end << "\"";
    EXPECT_EQ(program.pageText, page) << "the page is only read";
  };
  check("<b>x</b><b>y</b>", "<b>", "</b>", "x");
  check("..<b>Drama</b>", "<b>", "</b>", "Drama");
  check("<b>x</b>", "<b>", "<", "x");
  check("<b>x", "<b>", "</b>", "");         // no end after the start
  check("x</b>", "<b>", "</b>", "");        // no start
  check("<b></b>x</b>", "<b>", "</b>", ""); // the end right after the start
  check("<b>", "<b>", "</b>", "");          // the start ends the page
  check("", "<b>", "</b>", "");
  check("<b>x</b>", "", "</b>", "");        // an empty marker is never found
  check("<b>x</b>", "<b>", "", "");
  check("<b>x</b>", "", "", "");
  check("<B>x</B><b>y</b>", "<b>", "</b>", "y");  // markers keep their letter case
  check("'x'y'", "'", "'", "x");            // the same marker on both sides
  check("abcbc", "abc", "bc", "");          // the end is sought only after the start marker
  check("abcXbc", "abc", "bc", "X");
  // Only the first start counts: a later one is never tried, even when the first has nothing
  // after it, and a later start before the end is part of the field.
  check("<b></b><b>y</b>", "<b>", "</b>", "");
  check("<b>x<b>y</b>", "<b>", "</b>", "x<b>y");
  check("'titulo3'>Género:</font><br>Drama, Comedia</font>"_t,
        "'titulo3'>Género:</font><br>"_t, "</font>", "Drama, Comedia");
  check("a\x80z", "\x80", "z", "");
  check("\x80" "abc\x80", "\x80", "\x80", "abc");
}

TEST_F(Extract, BetweenMarkersOnALargePage) {
  program.pageText = std::string(1 << 20, 'x') + "<dir>Víctor Erice</dir>"_t;
  EXPECT_EQ(ExtractBetween("<dir>", "</dir>"), "Víctor Erice"_t);
  program.pageText = "<dir>" + std::string(1 << 20, 'y') + "</dir>";
  EXPECT_EQ(ExtractBetween("<dir>", "</dir>"), std::string(1 << 20, 'y'));
}

TEST_F(Extract, DecodeEntities) {
  auto check = [](std::string_view text, std::string_view expected) {
    EXPECT_EQ(DecodeEntities(text), expected) << "DecodeEntities(\"" << text << "\")";
  };
  check("", "");
  check("A text without either", "A text without either");
  check("&#65;", "A");
  check("&#233;&#233;", "\xE9\xE9");  // every occurrence of a reference at once
  check("caf&#233; y t&#233;", "caf\xE9 y t\xE9");
  check("&#x41;", "");               // x is no number, so the reference goes
  check("&#x41;B", "B");
  check("&#38;#65;", "A");           // the first pass yields the reference the second decodes
  check("&#38;#38;#65;", "A");
  check("&#38;&#35;65;", "A");       // each pass starts again at the first "&#"
  check("a&#65b", "a&#65b");         // no ";" after "&#": kept as it is
  check("a&#65b%20c", "a&#65b c");
  check("x&#&#65;y", "xy");          // a stray "&#" swallows the reference, whose text is no number
  check("&#66 &#65;", "B");          // ... or stands for the number it starts with
  check("&#&#&#65;", "");
  check("&#;&#65;", "&#;&#65;");     // an empty first reference ends the decoding at once
  check("&#;&#65;%20", "&#;&#65; ");
  check("&#65;&#;&#65;", "A&#;A");   // a pass replaces every copy, those after an "&#;" too
  check("&&#35;65;", "A");           // the "#" made next to an "&" starts the next reference
  check("&#5&#66;x&#66;", "\x05xB"); // the first "&#" takes the longer reference first ...
  check("&#66;&#5&#66;", "B&#5B");   // ... and a shorter one first takes it from the longer
  check("&#59;x&#65&#59;", ";xA");   // a ";" made by a pass ends a later reference
  check("&#", "&#");
  check("&#65", "&#65");
  check("&#65;&#66;&#67;", "ABC");
  // One byte of the code page: the low 8 bits of the value, and nothing for a low byte of 0.
  check("&#128;", "\x80");
  check("&#8364;", "\xAC");          // 0x20AC keeps only 0xAC
  check("&#321;", "A");              // 0x141
  check("&#256;x", "x");
  check("&#0;x", "x");
  check("&#-23;", "\xE9");
  check("&#$41;", "A");              // the number rules of the other values hold
  check("&#%1000001;", "A");
  check("&# 65;", "A");
  check("&#\t65;", "A");
  check("&#65abc;", "A");
  check("&#99999999999999999999999;", TextOfCode(TextValue("99999999999999999999999")));
  check("&amp;&#65;", "&amp;A");     // named references stay
  // The three percent escapes, with letter case, after the references.
  check("a%20b", "a b");
  check("%7B%7D", "()");
  check("%7b%7d", "%7b%7d");
  check("%2020", " 20");
  check("%%20", "% ");
  check("%41%20%7Bx%7D", "%41 (x)");
  check("&#37;20", " ");             // an escape made by a reference is replaced as well
  check("Am&#233;lie%20(2001)", "Am\xE9lie (2001)");
}

TEST_F(Extract, DecodeEntitiesLeavesThePageAlone) {
  program.pageText = "&#65;";
  EXPECT_EQ(DecodeEntities(program.pageText), "A");
  EXPECT_EQ(program.pageText, "&#65;");
}

TEST_F(Extract, DecodeEntitiesOfManyDistinctReferences) {
  Text field, expected;
  for (int i = 0; i < 2000; ++i) {
    const int code = 65 + i % 26 + (i / 26) * 256;  // distinct texts, letters as results
    field += "&#" + TextOfNumber(code) + ";.";
    expected += static_cast<char>(65 + i % 26);
    expected += '.';
  }
  EXPECT_EQ(DecodeEntities(field), expected);
}

// Every pass of the references is charged the length of the text it reads, and none starts that
// would take the charges past 2^26 bytes. A nested chain "&#38;" + "#38;" x k + "#66;" made 4 MB
// (2^22) long with x's needs k + 2 passes, the j-th charged 2^22 - 4(j - 1): sixteen passes
// cost 2^26 - 480 and fit, a seventeenth does not. So k = 14 decodes to the end, and k = 15
// keeps the reference its last pass made. References that are all plain, each "&#" closed by its
// own ";" and no "&#" made by decoding, are put in one reading however many passes that takes:
// the passes over 2 MB of distinct ones would read hundreds of gigabytes.
TEST_F(Extract, DecodeEntitiesWithinTheBudget) {
  auto check = [](int k, std::string_view head) {
    Text field = "&#38;";
    for (int i = 0; i < k; ++i) field += "#38;";
    field += "#66;";
    const std::string xs((4u << 20) - field.size(), 'x');
    EXPECT_TRUE(DecodeEntities(field + xs) == Text(head) + xs) << "chain of " << k;
  };
  check(14, "B");
  check(15, "&#66;");
  Text distinct, letters;
  for (int i = 0; distinct.size() < (2u << 20); ++i) {
    distinct += "&#" + TextOfNumber(65 + i % 26 + (i / 26) * 256) + ";";
    letters += static_cast<char>(65 + i % 26);
  }
  EXPECT_EQ(DecodeEntities(distinct), letters);
}

}  // namespace
