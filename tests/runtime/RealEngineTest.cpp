// The runtime window over the real web engine, with local pages.
#include <QWebEngineView>

#include "tests/media/EventLoopWait.h"
#include "tests/media/HeldHttpServer.h"
#include "tests/runtime/RuntimeFixture.h"
#include "tests/ui/UiTestUtil.h"

using namespace rt;

namespace {

class RealEngine : public RuntimeFixture {
 protected:
  [[nodiscard]] bool UseScriptedEngine() const override { return false; }
};

TEST_F(RealEngine, StartPageLinkBackAndForward) {
  Load(BaseConfig("Startpage=a.htm\n") + ButtonSection("Back", 5, 5) + ButtonSection("Forward", 30, 5) +
       "Object=Label\nTop=3\nLeft=60\nWidth=100\nStyle=Page Title\nend\n"
       "Object=Label\nTop=3\nLeft=60\nWidth=100\nStyle=Custom Text\nText=Mine\nend\n"
       "Object=Edit\nTop=20\nLeft=40\nWidth=120\nStyle=History Combo\nend\n");
  ShowAndWait(Form);
  TVXOLabel* title = Nth<TVXOLabel>(0);
  TVXOButton* back = ButtonOf("Back");
  TVXOButton* forward = ButtonOf("Forward");
  ASSERT_TRUE(WaitUntil([&] { return title->Caption() == "Page A"; })) << title->Caption();
  ASSERT_TRUE(WaitUntil([&] { return Form->AddressCombo->Text() == FileURL("a.htm"); }))
      << Form->AddressCombo->Text();
  EXPECT_FALSE(back->ActionEnabled());
  EXPECT_FALSE(forward->ActionEnabled());

  // A second page through the address list, as typed.
  Form->AddressCombo->SetText("b.htm");
  Form->NavigateClick(nullptr);
  ASSERT_TRUE(WaitUntil([&] { return title->Caption() == "Page B"; })) << title->Caption();
  ASSERT_TRUE(WaitUntil([&] { return back->ActionEnabled(); }));
  EXPECT_FALSE(forward->ActionEnabled());
  ASSERT_TRUE(WaitUntil([&] { return Form->AddressCombo->Text() == FileURL("b.htm"); }))
      << Form->AddressCombo->Text();
  ASSERT_EQ(Form->AddressCombo->Items()->Count(), 2);
  EXPECT_EQ(Form->AddressCombo->Items()->Strings(0), FileURL("b.htm"));
  EXPECT_EQ(Form->AddressCombo->Items()->Strings(1), FileURL("a.htm"));
  EXPECT_EQ(Nth<TVXOLabel>(1)->Caption(), "Mine");

  // Back through the skin button.
  Click(back);
  ASSERT_TRUE(WaitUntil([&] { return title->Caption() == "Page A"; })) << title->Caption();
  ASSERT_TRUE(WaitUntil([&] { return forward->ActionEnabled() && !back->ActionEnabled(); }));
  ASSERT_TRUE(WaitUntil([&] { return Form->AddressCombo->Text() == FileURL("a.htm"); }))
      << Form->AddressCombo->Text();
  EXPECT_EQ(Form->AddressCombo->Items()->Count(), 2);
  Click(forward);
  ASSERT_TRUE(WaitUntil([&] { return Form->AddressCombo->Text() == FileURL("b.htm"); }));
  EXPECT_EQ(title->Caption(), "Page B");
  EXPECT_TRUE(back->ActionEnabled());
  EXPECT_FALSE(forward->ActionEnabled());
}

// The address shown follows the page as soon as it is shown: before a slow picture of it has arrived,
// and on an anchor link within it.
TEST_F(RealEngine, TheAddressFollowsThePageBeforeItsPartsArrive) {
  HeldHttpServer server;
  server.Serve("/page.htm", "text/html",
               "<html><body style='margin:0'><img src=slow.gif><a href='#end' "
               "style='display:block;width:400px;height:400px'>end</a><p id=end>end</p></body></html>");
  server.Serve("/slow.gif", "image/gif", "GIF89a", true);
  Load(BaseConfig() + "Object=Edit\nTop=20\nLeft=40\nWidth=120\nStyle=History Combo\nend\n");
  ShowAndWait(Form);
  const std::string page = server.Url("/page.htm");
  Form->AddressCombo->SetText(page.substr(std::string("http://").size()));
  Form->NavigateClick(nullptr);
  ASSERT_TRUE(WaitUntil([&] { return Form->AddressCombo->Text() == page; })) << Form->AddressCombo->Text();
  EXPECT_TRUE(WaitUntil([&] { return server.Waiting() == 1; })) << "the picture is still on its way";
  auto* view = static_cast<QWebEngineView*>(Form->Web->Engine()->NativeWidget());
  ASSERT_TRUE(ClickUntil(view, [&] { return Form->AddressCombo->Text() != page; }));
  EXPECT_EQ(Form->AddressCombo->Text(), page + "#end");
  EXPECT_EQ(Form->AddressCombo->Items()->Count(), 2);
  EXPECT_EQ(server.Waiting(), 1);
}

}  // namespace
