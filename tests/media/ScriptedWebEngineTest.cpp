#include <gtest/gtest.h>

#include "platform/media/ScriptedWebEngine.h"

namespace {

class ScriptedWebEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Engine.Titles = {{"file:///a.htm", "Page A"}, {"file:///b.htm", "Page B"}};
    Engine.Events.CommandStateChange = [this](int command, bool enable) {
      Log += "state " + std::to_string(command) + (enable ? " on\n" : " off\n");
    };
    Engine.Events.TitleChange = [this](const std::string& text) { Log += "title " + text + "\n"; };
    Engine.Events.NavigateComplete = [this](const std::string& url) { Log += "complete " + url + "\n"; };
    Engine.Events.FullScreen = [this](bool on) {
      Log += std::string("full screen ") + (on ? "on\n" : "off\n");
    };
  }
  TScriptedWebEngine Engine;
  std::string Log;
};

// The same steps as the real engine's test, with the same events in the same order.
TEST_F(ScriptedWebEngineTest, EventsMatchTheRealEngine) {
  Engine.Navigate("file:///a.htm");
  Engine.Navigate("file:///b.htm");
  Engine.GoBack();
  EXPECT_EQ(Log,
            "complete file:///a.htm\ntitle Page A\n"
            "state 2 on\ncomplete file:///b.htm\ntitle Page B\n"
            "state 1 on\nstate 2 off\ncomplete file:///a.htm\ntitle Page A\n");
  Log.clear();
  Engine.GoForward();
  EXPECT_EQ(Log, "state 1 off\nstate 2 on\ncomplete file:///b.htm\ntitle Page B\n");
}

TEST_F(ScriptedWebEngineTest, NavigatingFromTheMiddleDropsTheForwardHistory) {
  Engine.Navigate("file:///a.htm");
  Engine.Navigate("file:///b.htm");
  Engine.GoBack();
  Log.clear();
  Engine.Navigate("http://c.example/");
  EXPECT_EQ(Log, "state 1 off\nstate 2 on\ncomplete http://c.example/\ntitle http://c.example/\n");
  EXPECT_TRUE(Engine.CanGoBack());
  EXPECT_FALSE(Engine.CanGoForward());
  Engine.GoBack();
  EXPECT_EQ(Engine.LocationURL(), "file:///a.htm");
  EXPECT_EQ(Engine.LocationName(), "Page A");
}

TEST_F(ScriptedWebEngineTest, PendingNavigationsCompleteOnRequest) {
  Engine.CompleteAtOnce = false;
  Engine.Navigate("file:///a.htm");
  EXPECT_EQ(Log, "");
  Engine.Complete();
  Engine.Complete();  // nothing pending any more
  EXPECT_EQ(Log, "complete file:///a.htm\ntitle Page A\n");
  Engine.Reload();
  Engine.Stop();
  Engine.Complete();
  EXPECT_EQ(Log, "complete file:///a.htm\ntitle Page A\n");
}

TEST_F(ScriptedWebEngineTest, FailuresAndCallsAreScripted) {
  EXPECT_THROW(Engine.GoBack(), EOleException);
  EXPECT_THROW(Engine.GoForward(), EOleException);
  Engine.Print("", "x.pdf");
  Engine.FailNextJob = true;
  EXPECT_THROW(Engine.SaveAs("x.htm"), EOleException);
  Engine.SaveAs("y.htm");
  Engine.RequestFullScreen(true);
  EXPECT_EQ(Engine.Calls, (std::vector<std::string>{"GoBack", "GoForward", "Print |x.pdf", "SaveAs x.htm",
                                                    "SaveAs y.htm"}));
  EXPECT_EQ(Log, "full screen on\n");
}

}  // namespace
