#include <gtest/gtest.h>

#include <stdexcept>

#include "shell/SysUtils.h"
#include "shell/TextRules.h"

namespace {

struct TextCase {
  std::wstring input;
  std::wstring expected;
};

class TrimSystemErrorTextTest : public testing::TestWithParam<TextCase> {};

TEST_P(TrimSystemErrorTextTest, DropsTrailingBlanksControlsAndDots) {
  EXPECT_EQ(TrimSystemErrorText(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, TrimSystemErrorTextTest,
    testing::Values(TextCase{L"Access is denied.\r\n", L"Access is denied"},
                    TextCase{L"Odd text. . .\t", L"Odd text"},
                    TextCase{L"Ends in a bang!\r\n", L"Ends in a bang!"},
                    TextCase{L"\x30a8\x30e9\x30fc\x3002\r\n", L"\x30a8\x30e9\x30fc\x3002"},
                    TextCase{L"v1.2 a.b", L"v1.2 a.b"},
                    TextCase{L" .\r\n", L""},
                    TextCase{L"", L""}));

class WithFinalPeriodTest : public testing::TestWithParam<TextCase> {};

TEST_P(WithFinalPeriodTest, AppendsOneDotAfterCharactersAboveDot) {
  EXPECT_EQ(WithFinalPeriod(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, WithFinalPeriodTest,
    testing::Values(TextCase{L"Access is denied", L"Access is denied."},
                    TextCase{L"Code 5", L"Code 5."}, TextCase{L"Why?", L"Why?."},
                    TextCase{L"Note:", L"Note:."},
                    TextCase{L"\x30a8\x30e9\x30fc\x3002", L"\x30a8\x30e9\x30fc\x3002."},
                    TextCase{L"Done.", L"Done."}, TextCase{L"Stop!", L"Stop!"},
                    TextCase{L"a,", L"a,"}, TextCase{L"(x)", L"(x)"}, TextCase{L"a-", L"a-"},
                    TextCase{L"trailing ", L"trailing "}, TextCase{L"line\n", L"line\n"},
                    // "/" is U+002F, just above ".".
                    TextCase{L"a/", L"a/."}, TextCase{L"", L""}));

class DefaultTitleTest : public testing::TestWithParam<TextCase> {};

TEST_P(DefaultTitleTest, IsTheFileNameCutAtItsFirstDot) {
  EXPECT_EQ(DefaultTitle(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rules, DefaultTitleTest,
                         testing::Values(TextCase{L"C:\\Tools\\Tavrel.x64.exe", L"Tavrel"},
                                         TextCase{L"C:\\Tools\\TAVREL.X64.EXE", L"Tavrel"},
                                         TextCase{L"C:\\A.B\\prog.exe", L"prog"},
                                         TextCase{L"C:\\Tools\\.x64.exe", L""},
                                         TextCase{L"NoExtension", L"Noextension"},
                                         TextCase{L"C:\\x\\\x00C4PFEL.exe", L"\x00C4pfel"}));

TEST(LastResortReportTest, NamesClassModuleOffsetAndMessage) {
  EXPECT_EQ(FormatLastResortReport(L"EOSError", L"Tavrel.x64.exe", 0x1A2B, L"Access is denied"),
            L"EOSError がモジュール Tavrel.x64.exe の 0000000000001A2B で発生しました。\r\n"
            L"Access is denied.\r\n");
  // The dot rule here is an exact comparison with ".", unlike the error box's.
  EXPECT_EQ(FormatLastResortReport(L"Exception", L"a.dll", 0xFEDCBA9876543210ull, L"Stop!"),
            L"Exception がモジュール a.dll の FEDCBA9876543210 で発生しました。\r\nStop!.\r\n");
  EXPECT_EQ(FormatLastResortReport(L"Exception", L"a.dll", 0, L"Done."),
            L"Exception がモジュール a.dll の 0000000000000000 で発生しました。\r\nDone.\r\n");
  EXPECT_EQ(FormatLastResortReport(L"Exception", L"a.dll", 0, L""),
            L"Exception がモジュール a.dll の 0000000000000000 で発生しました。\r\n\r\n");
}

TEST(LastResortReportTest, IsCutAt1024Characters) {
  const std::wstring report =
      FormatLastResortReport(L"Exception", L"a.dll", 0, std::wstring(2000, L'x'));
  EXPECT_EQ(report.size(), 1024u);
  EXPECT_EQ(report.back(), L'x');
}

TEST(RuntimeErrorReportTest, FillsTheFixedTemplate) {
  EXPECT_EQ(std::string(FormatRuntimeErrorReport(217, 0x140001234ull).Text), "Runtime error  217at 0000000140001234");
  EXPECT_EQ(std::string(FormatRuntimeErrorReport(217, 0).Text), "Runtime error  217at 0000000000000000");
  EXPECT_EQ(std::string(FormatRuntimeErrorReport(5, 0xABCDEF0123456789ull).Text), "Runtime error    5at ABCDEF0123456789");
}

struct ScaleCase {
  int size, dpi, expected;
};

class ScaleForDpiTest : public testing::TestWithParam<ScaleCase> {};

TEST_P(ScaleForDpiTest, RoundsToNearest) {
  EXPECT_EQ(ScaleForDpi(GetParam().size, GetParam().dpi), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rules, ScaleForDpiTest,
                         testing::Values(ScaleCase{527, 144, 791}, ScaleCase{336, 144, 504},
                                         ScaleCase{-11, 144, -17}, ScaleCase{527, 96, 527},
                                         ScaleCase{527, 120, 659}, ScaleCase{336, 120, 420},
                                         ScaleCase{527, 192, 1054}, ScaleCase{13, 72, 10}));

TEST(SystemErrorTextTest, IsTheSystemTextTrimmed) {
  const std::wstring text = SystemErrorText(ERROR_ACCESS_DENIED);
  ASSERT_FALSE(text.empty());
  EXPECT_GT(text.back(), L' ');
  EXPECT_NE(text.back(), L'.');
  EXPECT_EQ(SystemErrorText(0xE0000123), L"");
}

TEST(ExceptionTest, IsRecognisedByItsClassChain) {
  EXPECT_TRUE(EAbort(L"").InheritsFrom("EAbort"));
  EXPECT_TRUE(EAbort(L"").InheritsFrom("Exception"));
  EXPECT_FALSE(Exception(L"").InheritsFrom("EAbort"));
  EXPECT_TRUE(EOSError(5, L"").InheritsFrom("Exception"));
  EXPECT_STREQ(EOSError(5, L"").ClassName(), "EOSError");
}

TEST(ExceptionTest, RaiseRecordsTheRaiseSite) {
  try {
    Raise(Exception(L"x"));
  } catch (const Exception& e) {
    MEMORY_BASIC_INFORMATION region{};
    ASSERT_NE(e.Address(), nullptr);
    ASSERT_TRUE(VirtualQuery(e.Address(), &region, sizeof region));
    EXPECT_EQ(region.AllocationBase, GetModuleHandleW(nullptr));
  }
}

TEST(ExceptionTest, CurrentExceptionKeepsClassAndForeignText) {
  try {
    throw EOSError(5, L"denied");
  } catch (...) {
    const auto e = CurrentException();
    EXPECT_STREQ(e->ClassName(), "EOSError");
    EXPECT_EQ(e->Message(), L"denied");
  }
  try {
    throw std::runtime_error("from a library");
  } catch (...) {
    EXPECT_EQ(CurrentException()->Message(), L"from a library");
  }
}

}  // namespace

namespace {

TEST(DecimalTest, WritesAndReadsWholeNumbers) {
  EXPECT_EQ(DecimalText(0), L"0");
  EXPECT_EQ(DecimalText(-11), L"-11");
  EXPECT_EQ(DecimalText(-9223372036854775807ll - 1), L"-9223372036854775808");
  long long value = 0;
  EXPECT_TRUE(ParseDecimal(L"-11", value));
  EXPECT_EQ(value, -11);
  EXPECT_TRUE(ParseDecimal(L"-9223372036854775808", value));
  EXPECT_EQ(value, -9223372036854775807ll - 1);
  for (const wchar_t* bad : {L"", L"-", L"12x", L"1 2", L"+3", L"9223372036854775808", L"92233720368547758080", L"99999999999999999999"})
    EXPECT_FALSE(ParseDecimal(bad, value)) << bad;
}

}  // namespace
