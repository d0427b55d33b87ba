#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "platform/rtl/SysUtils.h"

namespace {

struct IntCase {
  const char* text;
  bool ok;
  int value;
};

TEST(Strings, StrToIntFollowsTheClassLibrarySyntax) {
  const IntCase cases[] = {
      {"0", true, 0},
      {"42", true, 42},
      {"   42", true, 42},
      {"+7", true, 7},
      {"-7", true, -7},
      {"007", true, 7},
      {"$FF", true, 255},
      {"$ff", true, 255},
      {"0x1A", true, 26},
      {"-$10", true, -16},
      {"$FFFFFFFF", true, -1},
      {"2147483647", true, INT_MAX},
      {"-2147483648", true, INT_MIN},
      {"2147483648", false, 0},
      {"-2147483649", false, 0},
      {"$100000000", false, 0},
      {"", false, 0},
      {" ", false, 0},
      {"-", false, 0},
      {"$", false, 0},
      {"42 ", false, 0},
      {"4 2", false, 0},
      {"\t42", false, 0},
      {"1.5", false, 0},
      {"12a", false, 0},
      {"--1", false, 0},
      {"99999999999999999999", false, 0},
  };
  for (const IntCase& c : cases) {
    SCOPED_TRACE(c.text);
    if (c.ok) {
      EXPECT_EQ(StrToInt(c.text), c.value);
      EXPECT_EQ(StrToIntDef(c.text, 99), c.value);
    } else {
      try {
        (void)StrToInt(c.text);
        ADD_FAILURE() << "no exception";
      } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message, std::string("'") + c.text + "' ist kein gültiger Integerwert");
      }
      EXPECT_EQ(StrToIntDef(c.text, 99), 99);
    }
  }
}

TEST(Strings, StrToInt64TakesTheWholeRange) {
  EXPECT_EQ(StrToInt64("9223372036854775807"), INT64_MAX);
  EXPECT_EQ(StrToInt64("-9223372036854775808"), INT64_MIN);
  EXPECT_THROW((void)StrToInt64("9223372036854775808"), EConvertError);
  EXPECT_EQ(IntToStr(INT64_MIN), "-9223372036854775808");
  EXPECT_EQ(IntToStr(-5), "-5");
}

TEST(Strings, TrimStripsEveryControlCharacterAndBlank) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"   ", ""},
      {"\t\r\n a b \x01\x1f", "a b"},
      {"x", "x"},
      {" \xc3\xa4 ", "\xc3\xa4"},  // UTF-8 bytes are above 0x20 and stay
  };
  for (const auto& [in, out] : cases)
    EXPECT_EQ(Trim(in), out) << in;
  EXPECT_EQ(TrimLeft("  a  "), "a  ");
  EXPECT_EQ(TrimRight("  a  "), "  a");
}

TEST(Strings, CaseFunctionsTouchOnlyAscii) {
  EXPECT_EQ(UpperCase("abc\xc3\xa4xyz"), "ABC\xc3\xa4XYZ");
  EXPECT_EQ(LowerCase("ABC\xc3\x84XYZ"), "abc\xc3\x84xyz");
  EXPECT_EQ(CompareText("Images", "IMAGES"), 0);
  EXPECT_LT(CompareText("a", "B"), 0);
  EXPECT_GT(CompareText("b", "A"), 0);
  EXPECT_LT(CompareText("ab", "ABC"), 0);
  EXPECT_TRUE(SameText("Sounds", "sounds"));
  EXPECT_LT(CompareStr("B", "a"), 0);
}

TEST(Strings, PosCopyAndReplace) {
  EXPECT_EQ(Pos("=", "Top=1"), 4);
  EXPECT_EQ(Pos("x", "Top"), 0);
  EXPECT_EQ(Copy("Hello", 2, 3), "ell");
  EXPECT_EQ(Copy("Hello", 4, 100), "lo");
  EXPECT_EQ(Copy("Hello", 9, 1), "");
  EXPECT_EQ(StringReplace("a.b.c", ".", "\\", static_cast<int>(TReplaceFlag::rfReplaceAll)), "a\\b\\c");
  EXPECT_EQ(StringReplace("a.b.c", ".", "", 0), "ab.c");
  EXPECT_EQ(StringReplace(
                "ABab", "ab", "x",
                static_cast<int>(TReplaceFlag::rfReplaceAll) | static_cast<int>(TReplaceFlag::rfIgnoreCase)),
            "xx");
  EXPECT_EQ(QuotedStr("it's"), "'it''s'");
}

TEST(Strings, FormatDirectives) {
  EXPECT_EQ(Format("Datei %s kann nicht geöffnet werden", std::string("a.bmp")),
            "Datei a.bmp kann nicht geöffnet werden");
  EXPECT_EQ(Format("(%d)", 5), "(5)");
  EXPECT_EQ(Format("%d%%", -3), "-3%");
  EXPECT_EQ(Format("%5d|%-5d|", 42, 42), "   42|42   |");
  EXPECT_EQ(Format("%.4d", 7), "0007");
  EXPECT_EQ(Format("%x %.8x", 255, 255), "FF 000000FF");
  EXPECT_EQ(Format("%x", -1), "FFFFFFFF");
  EXPECT_EQ(Format("%.2f", 3.14159), "3.14");
  EXPECT_EQ(Format("%f", 2.0), "2.00");
  EXPECT_EQ(Format("%n", 1234567.5), "1,234,567.50");
  EXPECT_EQ(Format("%.3s", "abcdef"), "abc");
  EXPECT_EQ(Format("%1:s %0:s", "a", "b"), "b a");
  EXPECT_EQ(Format("%*d", 4, 1), "   1");
  EXPECT_EQ(Format("%u", -1), "4294967295");
}

TEST(Strings, FormatRejectsMismatchedArguments) {
  EXPECT_THROW((void)Format("%d", "text"), EConvertError);
  EXPECT_THROW((void)Format("%s", 1), EConvertError);
  EXPECT_THROW((void)Format("%d %d", 1), EConvertError);
  EXPECT_THROW((void)Format("%f", 1), EConvertError);
  EXPECT_THROW((void)Format("%q", 1), EConvertError);
  EXPECT_THROW((void)Format("50%", 1), EConvertError);
}

TEST(Strings, FloatConversions) {
  EXPECT_DOUBLE_EQ(StrToFloat(" 1.5 "), 1.5);
  EXPECT_DOUBLE_EQ(StrToFloat("2,25"), 2.25);
  EXPECT_THROW((void)StrToFloat("abc"), EConvertError);
  EXPECT_THROW((void)StrToFloat(""), EConvertError);
  EXPECT_EQ(FloatToStr(0.5), "0.5");
  EXPECT_EQ(IntToHex(255, 4), "00FF");
  EXPECT_EQ(IntToHex(-1, 2), "FFFFFFFF");
}

TEST(Numbers, MulDivRoundsHalfAwayFromZero) {
  struct Case {
    int a, b, c, expected;
  };
  const Case cases[] = {
      {10, 3, 4, 8},    // 7.5 -> 8
      {-10, 3, 4, -8},  // -7.5 -> -8
      {10, -3, 4, -8},
      {10, 3, -4, -8},
      {-10, -3, -4, -8},
      {7, 1, 3, 2},  // 2.33 -> 2
      {8, 1, 3, 3},  // 2.67 -> 3
      {1, 1, 2, 1},  // 0.5 -> 1
      {-1, 1, 2, -1},
      {5, 7, 0, -1},                         // zero divisor
      {INT_MAX, INT_MAX, INT_MAX, INT_MAX},  // product beyond 32 bits
      {INT_MAX, 2, 1, -1},                   // result beyond 32 bits
      {INT_MIN, 1, 1, INT_MIN},
      {INT_MIN, -1, 1, -1},  // overflow of the negation
      {65536, 65536, 65536, 65536},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.expected) << c.a << "*" << c.b << "/" << c.c;
}

TEST(Numbers, RoundHalvesToEvenAndTruncTowardZero) {
  const std::pair<double, int64_t> rounds[] = {{0.5, 0},    {1.5, 2},    {2.5, 2},
                                               {-0.5, 0},   {-1.5, -2},  {-2.5, -2},
                                               {2.4999, 2}, {2.5001, 3}, {1e15 + 0.5, 1000000000000000}};
  for (const auto& [x, r] : rounds)
    EXPECT_EQ(Round(x), r) << x;
  const std::pair<double, int64_t> truncs[] = {{1.9, 1}, {-1.9, -1}, {0.0, 0}, {-0.1, 0}};
  for (const auto& [x, r] : truncs)
    EXPECT_EQ(Trunc(x), r) << x;
  EXPECT_THROW((void)Round(1e300), EInvalidOperation);
  EXPECT_THROW((void)Trunc(std::nan("")), EInvalidOperation);
}

TEST(Numbers, TimeGetTimeIsSteady) {
  const uint32_t a = timeGetTime();
  Sleep(20);
  const uint32_t b = timeGetTime();
  EXPECT_GE(b - a, 15u);
  EXPECT_LT(b - a, 5000u);
}

}  // namespace
