// The question box: placement, answers, the answer of a box closed without a button, and its sounds.
#include "tests/designer/DesignerFixture.h"

using namespace dt;

namespace {

class QuestionBox : public DesignerFixture {};

TEST_F(QuestionBox, IsCentredOnThePoint) {
  EXPECT_EQ(Question->Width(), 183);
  EXPECT_EQ(Question->Height(), 226);
  Answers = {vmNo};
  EXPECT_EQ(Question->Ask(400, 300, "text"), vmNo);
  EXPECT_EQ(Question->Left(), 309);
  EXPECT_EQ(Question->Top(), 187);
}

TEST_F(QuestionBox, AnswersAndCloseWithoutButton) {
  struct Case {
    int Click;  // -1: closed without a button
    uint8_t Expected;
  };
  for (const Case& c : {Case{vmYes, vmYes}, Case{-1, vmCancel}, Case{vmNo, vmNo}, Case{vmCancel, vmCancel},
                        Case{vmYes, vmYes}, Case{-1, vmCancel}}) {
    Answers = {c.Click};
    EXPECT_EQ(Question->Ask(100, 100, ""), c.Expected) << "click " << c.Click;
    EXPECT_FALSE(Question->Visible());
  }
}

TEST_F(QuestionBox, SoundsFollowOnlyTheMessageSoundsSwitch) {
  Answers = {vmYes};
  Question->Ask(100, 100, "");
  EXPECT_TRUE(Sounds->Played().empty()) << "silent until told";
  Question->SetSoundsOn(true);
  Answers = {vmYes};
  Question->Ask(100, 100, "");
  const auto played = Sounds->Played();
  ASSERT_EQ(played.size(), 2u);
  EXPECT_FALSE(played[0].Waited) << "the message sound plays while the box shows";
  EXPECT_TRUE(played[1].Waited) << "the answer is heard to its end";
}

}  // namespace
