// The Shift-JIS text helpers. A byte in 0x80..0x9F or 0xE0..0xFD starts a
// two-byte character whose second byte is never looked at; the cases below
// sit on both edges of those ranges.
#include "Func_.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <string>

using namespace std::string_literals;

namespace {

using namespace qm;

using Func_::RemoveCaretM;
using Func_::RemoveControlChars;
using Func_::RemoveSpaces;
using Func_::SjisFind;
using Func_::SjisUpperCase;
using Func_::StrToIntOrZero;

TEST(StrToIntOrZero, AcceptsWholeDecimalAndHexadecimalNumbers) {
  EXPECT_EQ(StrToIntOrZero("120"), 120);
  EXPECT_EQ(StrToIntOrZero("  -7"), -7);
  EXPECT_EQ(StrToIntOrZero("+5"), 5);
  EXPECT_EQ(StrToIntOrZero("007"), 7);
  EXPECT_EQ(StrToIntOrZero("$1F"), 31);
  EXPECT_EQ(StrToIntOrZero("$1f"), 31);
  EXPECT_EQ(StrToIntOrZero("0x1F"), 31);
  EXPECT_EQ(StrToIntOrZero("x1F"), 31);
  EXPECT_EQ(StrToIntOrZero("X1F"), 31);
  EXPECT_EQ(StrToIntOrZero(" -$10"), -16);
  EXPECT_EQ(StrToIntOrZero("-0x10"), -16);
  EXPECT_EQ(StrToIntOrZero("2147483647"), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(StrToIntOrZero("-2147483648"), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(StrToIntOrZero("$7FFFFFFF"), std::numeric_limits<int32_t>::max());
}

TEST(StrToIntOrZero, GivesZeroForAnythingElse) {
  for (const char* bad : {"", " ", "12 ", "1 2", "abc", "12a", "1F", "-", "+", "$", "0x", "x", "+-1", "$-1", "$1G",
                          "\t5", "5\r", "1.5", "2147483648", "-2147483649", "99999999999999999999", "$100000000",
                          "0x123456789"})
    EXPECT_EQ(StrToIntOrZero(bad), 0) << '"' << bad << '"';
}

TEST(RemoveSpaces, DropsSpacesFullWidthSpacesAndControlBytes) {
  EXPECT_EQ(RemoveSpaces("ab\x81\x40" "cd"), "abcd");
  EXPECT_EQ(RemoveSpaces("a\tb c\r\n"), "abc");
  EXPECT_EQ(RemoveSpaces("  \x81\x40 "), "");
  EXPECT_EQ(RemoveSpaces(""), "");
  // The second byte of a two-byte character is never looked at.
  EXPECT_EQ(RemoveSpaces("\x81\x20\x82\x0A"), "\x81\x20\x82\x0A");
  EXPECT_EQ(RemoveSpaces("\x81\x41"), "\x81\x41");  // not the full-width space
  EXPECT_EQ(RemoveSpaces("ab\x82"), "ab\x82");      // a lone lead byte at the end stays
  EXPECT_EQ(RemoveSpaces("\x7F\xA0\xDF\xFE\xFF"), "\x7F\xA0\xDF\xFE\xFF");
  // 0xA0 starts no pair, so the 0x20 after it is a space of its own.
  EXPECT_EQ(RemoveSpaces("\xA0 x"), "\xA0x");
}

// IsBlank says what RemoveSpaces leaving nothing says, without making the text.
TEST(RemoveSpaces, IsBlankAgreesWithIt) {
  for (const std::string& s : {std::string(""), std::string(" "), std::string("\x81\x40 \t"), std::string("\x81\x41"),
                              std::string(" \x81"), std::string("\x82\x20"), std::string("\x81\x40\x81\x40"),
                              std::string(1, '\0'), std::string("a"), std::string("\x7F"), std::string("\xA0")}) {
    EXPECT_EQ(Func_::IsBlank(TJwwString(s)), Func_::RemoveSpaces(s).empty()) << testing::PrintToString(s);
  }
  for (const std::u16string& u : {std::u16string(u"\u3000 \t"), std::u16string(u"\u3001"), std::u16string(u"")})
    EXPECT_EQ(Func_::IsBlank(TJwwString::Wide(u)), Func_::RemoveSpaces(u).empty());
}

TEST(RemoveCaretM, DropsCaretMPairsAndControlBytes) {
  EXPECT_EQ(RemoveCaretM("ab^mcd"), "abcd");
  EXPECT_EQ(RemoveCaretM("^m^m"), " ");  // never empty from a non-empty text
  EXPECT_EQ(RemoveCaretM("\x01\x02"), " ");
  EXPECT_EQ(RemoveCaretM(""), "");
  EXPECT_EQ(RemoveCaretM("^M"), "^M");
  EXPECT_EQ(RemoveCaretM("a^"), "a^");
  EXPECT_EQ(RemoveCaretM("^^m"), "^");
  EXPECT_EQ(RemoveCaretM("m^"), "m^");
  EXPECT_EQ(RemoveCaretM("a\r\nb\tc"), "abc");
  EXPECT_EQ(RemoveCaretM(" a "), " a ");  // spaces are kept
  EXPECT_EQ(RemoveCaretM("\x7F\xFE\xFF"), "\x7F\xFE\xFF");
}

TEST(RemoveCaretM, NeverSplitsATwoByteCharacter) {
  // 0x81 0x5E is one character; the "m" after it is a character of its own.
  EXPECT_EQ(RemoveCaretM("\x81^m"), "\x81^m");
  EXPECT_EQ(RemoveCaretM("\x81^m^m"), "\x81^m");
  EXPECT_EQ(RemoveCaretM("\x82\x0A"), "\x82\x0A");
  EXPECT_EQ(RemoveCaretM("x\x82"), "x\x82");  // a lone lead byte at the end stays
  EXPECT_EQ(RemoveCaretM("\x82"), "\x82");
  // Edges of the lead-byte ranges: 0x80, 0x9F, 0xE0 and 0xFD start a pair,
  // 0x7F, 0xA0, 0xDF and 0xFE do not.
  for (char lead : {'\x80', '\x9F', '\xE0', '\xFD'}) {
    const std::string t = std::string(1, lead) + "^m";
    EXPECT_EQ(RemoveCaretM(t), t) << static_cast<int>(static_cast<uint8_t>(lead));
  }
  for (char single : {'\x7F', '\xA0', '\xDF', '\xFE'}) {
    const std::string t = std::string(1, single) + "^m";
    EXPECT_EQ(RemoveCaretM(t), std::string(1, single)) << static_cast<int>(static_cast<uint8_t>(single));
  }
}

TEST(RemoveControlChars, DropsControlBytesAndALoneLeadByte) {
  EXPECT_EQ(RemoveControlChars("A\r\nB"), "AB");
  EXPECT_EQ(RemoveControlChars("ab\x82"), "ab");  // unlike the writer's helpers
  EXPECT_EQ(RemoveControlChars("\x82\x0A" "c"), "\x82\x0A" "c");
  EXPECT_EQ(RemoveControlChars("\x01\x1F"), "");  // no space put in
  EXPECT_EQ(RemoveControlChars(""), "");
  EXPECT_EQ(RemoveControlChars("a b^m\x7F\xA0"), "a b^m\x7F\xA0");
  EXPECT_EQ(RemoveControlChars("\xA0\x0A"), "\xA0");
  EXPECT_EQ(RemoveControlChars("a\0b"s), "ab");
}

TEST(SjisUpperCase, UpperCasesOneByteLettersOnly) {
  EXPECT_EQ(SjisUpperCase("ab.bmp.gz"), "AB.BMP.GZ");
  EXPECT_EQ(SjisUpperCase("`az{"), "`AZ{");
  EXPECT_EQ(SjisUpperCase("\x83" "a" "b"), "\x83" "a" "B");  // 'a' is the second byte of 0x83 0x61
  EXPECT_EQ(SjisUpperCase("\xA0" "a"), "\xA0" "A");
  EXPECT_EQ(SjisUpperCase("x\x9F"), "X\x9F");
  EXPECT_EQ(SjisUpperCase(""), "");
}

TEST(SjisFind, StepsOverTwoByteCharacters) {
  EXPECT_EQ(SjisFind("ab,c", ','), 2u);
  EXPECT_EQ(SjisFind(",", ','), 0u);
  EXPECT_EQ(SjisFind("\x81,x,y", ','), 3u);  // the first ',' is a second byte
  EXPECT_EQ(SjisFind("\xE0,\xFD,", ','), std::string::npos);
  EXPECT_EQ(SjisFind("\xA0,", ','), 1u);
  EXPECT_EQ(SjisFind("abc", ','), std::string::npos);
  EXPECT_EQ(SjisFind("", ','), std::string::npos);
  EXPECT_EQ(SjisFind("x\x82", ','), std::string::npos);
}

}  // namespace

// Wide texts: the rules apply per UTF-16 unit, and there is no lead-byte
// rule: a unit whose low byte looks like a lead byte or a control byte is an
// ordinary character.
TEST(WideTextHelpers, ApplyPerCodeUnit) {
  EXPECT_EQ(RemoveControlChars(u"A\r\nB\x1F\x7F"), u"AB\x7F");
  EXPECT_EQ(RemoveControlChars(u"\x820A\x0A82\xD842\xDFB7\xDC00"), u"\x820A\x0A82\xD842\xDFB7\xDC00");
  EXPECT_EQ(RemoveControlChars(u""), u"");

  EXPECT_EQ(RemoveSpaces(u"a b\u3000c\td"), u"abcd");
  EXPECT_EQ(RemoveSpaces(u" \u3000\x01"), u"");
  EXPECT_EQ(RemoveSpaces(u"\u8140\u4020"), u"\u8140\u4020");  // the Shift-JIS bytes of U+3000, as units, stay

  EXPECT_EQ(RemoveCaretM(u"ab^mcd"), u"abcd");
  EXPECT_EQ(RemoveCaretM(u"^m^m"), u" ");
  EXPECT_EQ(RemoveCaretM(u"\x01\x02"), u" ");
  EXPECT_EQ(RemoveCaretM(u""), u"");
  EXPECT_EQ(RemoveCaretM(u"^M a^"), u"^M a^");
  EXPECT_EQ(RemoveCaretM(u"\u305E^m\u3042\r"), u"\u305E\u3042");  // no pair can hide a "^"

  EXPECT_EQ(Func_::WideUpperCase(u"abz\u00E9\uFF41"), u"ABZ\u00E9\uFF41");  // only a..z
}

TEST(WideTextHelpers, DrawingStringsKeepTheirForm) {
  EXPECT_EQ(Func_::RemoveCaretMOf(TJwwString::Wide(u"^m")), TJwwString::Wide(u" "));
  EXPECT_EQ(Func_::RemoveCaretMOf(TJwwString("^m")), TJwwString(" "));
  EXPECT_EQ(Func_::RemoveControlCharsOf(TJwwString::Wide(u"a\tb")), TJwwString::Wide(u"ab"));
  EXPECT_TRUE(Func_::IsBlank(TJwwString::Wide(u" \u3000")));
  EXPECT_FALSE(Func_::IsBlank(TJwwString::Wide(u"\u3000x")));
  EXPECT_TRUE(Func_::IsBlank(TJwwString("\x81\x40 ")));
  EXPECT_NE(TJwwString::Wide(u""), TJwwString(""));  // the form is part of the value
}
