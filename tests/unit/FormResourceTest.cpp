#include <gtest/gtest.h>

#include "shell/FormResource.h"
#include "shell/SysUtils.h"

namespace {

TEST(FormResourceTest, KeepsPropertiesInStoredOrder) {
  const TStoredForm form = ParseFormResource(
      L"; comment\r\n"
      L"form EscortForm : TEscortForm\r\n"
      L"  Left = 0\r\n"
      L"  Caption = \"Tavrel  (x64)\"\r\n"
      L"  Font.Height = -11\r\n"
      L"  Color = clBtnFace\r\n"
      L"  Font.Style = []\r\n"
      L"end\r\n");
  EXPECT_EQ(form.ComponentName, L"EscortForm");
  EXPECT_EQ(form.ClassName, L"TEscortForm");
  ASSERT_EQ(form.Properties.size(), 5u);
  EXPECT_EQ(form.Properties[0].Name, L"Left");
  EXPECT_EQ(form.Properties[1].Text, L"Tavrel  (x64)");
  EXPECT_EQ(form.Properties[1].ValueKind, TStoredProperty::Kind::String);
  EXPECT_EQ(form.Properties[2].Number, -11);
  EXPECT_EQ(form.Properties[3].ValueKind, TStoredProperty::Kind::Identifier);
  EXPECT_EQ(form.Properties[4].ValueKind, TStoredProperty::Kind::Set);
}

class MalformedFormResourceTest : public testing::TestWithParam<const wchar_t*> {};

TEST_P(MalformedFormResourceTest, IsRefusedWithAReadError) {
  try {
    ParseFormResource(GetParam());
    FAIL() << "accepted a malformed resource";
  } catch (const Exception& e) {
    EXPECT_TRUE(e.InheritsFrom("EReadError"));
    EXPECT_NE(e.Message().find(L"line"), std::wstring::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, MalformedFormResourceTest,
    testing::Values(L"", L"Left = 0\nend\n", L"form EscortForm : TEscortForm\nLeft = 0\n",
                    L"form EscortForm TEscortForm\nend\n",
                    L"form EscortForm : TEscortForm\nLeft 0\nend\n",
                    L"form EscortForm : TEscortForm\nLeft = 12x\nend\n",
                    L"form EscortForm : TEscortForm\nCaption = \"a\"b\"\nend\n",
                    L"form EscortForm : TEscortForm\nCaption = 'a'\nend\n",
                    L"form EscortForm : TEscortForm\nend\nLeft = 0\n"));

}  // namespace
