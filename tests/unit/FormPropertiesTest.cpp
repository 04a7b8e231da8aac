#include <gtest/gtest.h>

#include "shell/Forms.h"
#include "shell/FormResource.h"
#include "shell/SysUtils.h"

namespace {

class TProbeForm : public TForm {
 public:
  using TForm::TForm;
  const wchar_t* ClassName() const override { return L"TProbeForm"; }
  const TPublishedMethod* PublishedMethods() const override {
    static const TPublishedMethod methods[] = {
        {"ProbeCreate", [](TForm& self, TObject*) { ++static_cast<TProbeForm&>(self).created; }},
        {nullptr, nullptr}};
    return methods;
  }
  int created = 0;
};

TStoredForm Stored(const wchar_t* properties) {
  return ParseFormResource(std::wstring(L"form Probe : TProbeForm\n") + properties + L"end\n");
}

TEST(FormPropertiesTest, AreAppliedInStoredOrderAndBindHandlersByName) {
  TProbeForm form(nullptr);
  form.ApplyStoredProperties(Stored(
      L"Caption = \"Tavrel  (x64)\"\nClientWidth = 527\nClientHeight = 336\n"
      L"Font.Height = -11\nFont.Name = \"Tahoma\"\nColor = clBtnFace\n"
      L"OnCreate = ProbeCreate\nCaption = \"second\"\n"));
  EXPECT_EQ(form.Name, L"Probe");
  EXPECT_EQ(form.Caption, L"second");  // the later value wins: stored order
  EXPECT_EQ(form.ClientWidth, 527);
  EXPECT_EQ(form.ClientHeight, 336);
  EXPECT_EQ(form.Font.Height, -11);
  ASSERT_NE(form.OnCreate, nullptr);
  form.OnCreate(form, &form);
  EXPECT_EQ(form.created, 1);
}

class RefusedPropertyTest : public testing::TestWithParam<const wchar_t*> {};

TEST_P(RefusedPropertyTest, FailsConstructionWithAReadError) {
  TProbeForm form(nullptr);
  try {
    form.ApplyStoredProperties(Stored(GetParam()));
    FAIL() << "accepted " << testing::PrintToString(std::wstring(GetParam()));
  } catch (const Exception& e) {
    EXPECT_TRUE(e.InheritsFrom("EReadError"));
  }
}

INSTANTIATE_TEST_SUITE_P(Rules, RefusedPropertyTest,
                         testing::Values(L"OnCreate = FormCreate\n",  // not published
                                         L"OnDestroy = \"ProbeCreate\"\n",
                                         L"Visible = true\n",  // not a property
                                         L"ClientWidth = \"527\"\n",
                                         L"Caption = 5\n",
                                         L"Color = clNoSuchColour\n",
                                         L"OldCreateOrder = maybe\n",
                                         L"Font.Style = bold\n"));

TEST(FormPropertiesTest, MissingResourceFailsConstruction) {
  TProbeForm form(nullptr);
  try {
    form.Construct();
    FAIL() << "constructed without stored properties";
  } catch (const Exception& e) {
    EXPECT_TRUE(e.InheritsFrom("EResNotFound"));
  }
}

}  // namespace
