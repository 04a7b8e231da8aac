#include <windows.h>

#include <gtest/gtest.h>

#include "src/TVREL_Paths.h"

namespace {

struct ExtensionCase {
  const wchar_t* path;
  const wchar_t* extension;
  const wchar_t* expected;
};

class ChangeExtensionTest : public testing::TestWithParam<ExtensionCase> {};

TEST_P(ChangeExtensionTest, ReplacesOnlyTheLastExtension) {
  const ExtensionCase& c = GetParam();
  EXPECT_EQ(ChangeExtension(c.path, c.extension), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ChangeExtensionTest,
    testing::Values(
        ExtensionCase{L"C:\\Tools\\Tavrel.x64.exe", L".dll", L"C:\\Tools\\Tavrel.x64.dll"},
        ExtensionCase{L"C:\\Tools\\Tavrel.x64.exe", L"", L"C:\\Tools\\Tavrel.x64"},
        // A dot only in a directory name is no extension.
        ExtensionCase{L"C:\\A.B\\Prog", L".exe", L"C:\\A.B\\Prog.exe"},
        ExtensionCase{L"C:\\A.B\\Prog", L"", L"C:\\A.B\\Prog"},
        // "/" is not a delimiter, so the search runs on into the directory.
        ExtensionCase{L"C:/A.B/Prog", L".exe", L"C:/A.exe"},
        // A drive colon stops the search.
        ExtensionCase{L"C:Prog", L".exe", L"C:Prog.exe"},
        ExtensionCase{L"C:\\A\\Prog.", L"", L"C:\\A\\Prog"},
        ExtensionCase{L".exe", L"", L""},
        ExtensionCase{L"", L".exe", L".exe"},
        // Case is kept and nothing is trimmed.
        ExtensionCase{L"C:\\X\\Prog.EXE ", L".Dll", L"C:\\X\\Prog.Dll"}));

struct SiblingCase {
  const wchar_t* own;
  const wchar_t* mainProgram;
  const wchar_t* hookLibrary;
};

class SiblingPathTest : public testing::TestWithParam<SiblingCase> {};

TEST_P(SiblingPathTest, FollowsFromTheOwnPath) {
  const SiblingCase& c = GetParam();
  EXPECT_EQ(MainProgramPathFor(c.own), c.mainProgram);
  EXPECT_EQ(HookLibraryPathFor(c.own), c.hookLibrary);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SiblingPathTest,
    testing::Values(
        SiblingCase{L"C:\\Tools\\Tavrel.x64.exe", L"C:\\Tools\\Tavrel.exe", L"C:\\Tools\\Tavrel.x64.dll"},
        SiblingCase{L"C:\\Tools\\.x64.exe", L"C:\\Tools\\.exe", L"C:\\Tools\\.x64.dll"},
        // A single extension names the companion itself as its main program.
        SiblingCase{L"C:\\Tools\\Prog.exe", L"C:\\Tools\\Prog.exe", L"C:\\Tools\\Prog.dll"},
        SiblingCase{L"C:\\A.B\\Prog", L"C:\\A.B\\Prog.exe", L"C:\\A.B\\Prog.dll"},
        SiblingCase{L"C:/A.B/Prog.x64.exe", L"C:/A.B/Prog.exe", L"C:/A.B/Prog.x64.dll"},
        SiblingCase{L"C:/A.B/Prog", L"C:/A.exe", L"C:/A.dll"}));

TEST(SamePathTest, IgnoresCaseOnly) {
  EXPECT_TRUE(SamePath(L"C:\\Tools\\Prog.exe", L"c:\\tools\\PROG.EXE"));
  EXPECT_FALSE(SamePath(L"C:\\Tools\\Prog.exe", L"C:\\Tools\\Prog.x64.exe"));
  EXPECT_FALSE(SamePath(L"C:\\Tools\\Prog.exe", L"C:\\Tools\\Prog.exe "));
}

TEST(OwnPathTest, IsTheWholePathOfTheRunningProgram) {
  const std::wstring own = OwnPath();
  ASSERT_GT(own.size(), 4u);
  EXPECT_EQ(own.substr(own.size() - 4), L".exe");
  EXPECT_NE(GetFileAttributesW(own.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
