// The property editor's panel layout: every control lies on the card, inside the window, clear of the
// others, and every row caption ends before the controls begin.

#include "assets/EditorLayout.h"

#include <gtest/gtest.h>

#include <cctype>
#include <span>
#include <string>

namespace {

using editor_layout::Box;

struct Panel {
  const char* name;
  std::span<const Box> boxes;
};

const Panel kPanels[] = {
    {"FormPanel", editor_layout::kFormPanel},       {"ButtonPanel", editor_layout::kButtonPanel},
    {"LabelPanel", editor_layout::kLabelPanel},     {"EditPanel", editor_layout::kEditPanel},
    {"OptionsPanel", editor_layout::kOptionsPanel},
};

bool Overlap(const Box& a, const Box& b) {
  return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
         b.top < a.top + a.height;
}

TEST(EditorLayout, ControlsLieOnTheCardAndClearOfEachOther) {
  // The card spans (8, 44) to (width - 8, height - 12); wells are drawn 2 pixels around a control.
  for (const Panel& panel : kPanels) {
    for (size_t i = 0; i < panel.boxes.size(); ++i) {
      const Box& a = panel.boxes[i];
      EXPECT_GE(a.left - 2, 8) << panel.name << "." << a.name;
      EXPECT_GE(a.top - 2, 44) << panel.name << "." << a.name;
      EXPECT_LE(a.left + a.width + 2, editor_layout::kWidth - 8) << panel.name << "." << a.name;
      EXPECT_LE(a.top + a.height + 2, editor_layout::kHeight - 12) << panel.name << "." << a.name;
      for (size_t j = i + 1; j < panel.boxes.size(); ++j)
        EXPECT_FALSE(Overlap(a, panel.boxes[j]))
            << panel.name << ": " << a.name << " and " << panel.boxes[j].name;
    }
  }
}

TEST(EditorLayout, RowCaptionsEndBeforeTheControlColumn) {
  EXPECT_LT(editor_layout::kCaptionRight, editor_layout::kControlLeft);
  for (const Panel& panel : kPanels) {
    for (const Box& b : panel.boxes) {
      if (b.kind == editor_layout::BoxKind::Field && b.width == 160) {
        EXPECT_EQ(b.left, editor_layout::kControlLeft) << b.name;
      }
    }
  }
}

// A row whose first field holds a top coordinate (the second the left one) says so in its caption, so the
// pair is not read as x, y.
TEST(EditorLayout, RowsThatStartWithTheTopSayTopLeft) {
  struct Case {
    std::span<const Box> boxes;
    std::span<const editor_layout::Caption> captions;
  };
  int rows = 0;
  for (const Case& c : {Case{editor_layout::kFormPanel, editor_layout::kFormCaptions},
                        Case{editor_layout::kButtonPanel, editor_layout::kButtonCaptions},
                        Case{editor_layout::kLabelPanel, editor_layout::kLabelCaptions},
                        Case{editor_layout::kEditPanel, editor_layout::kEditCaptions}}) {
    for (const Box& b : c.boxes) {
      const std::string name = b.name;
      if (name.find("Top") == std::string::npos || b.left != editor_layout::kControlLeft) continue;
      ++rows;
      std::string caption;
      for (const editor_layout::Caption& cap : c.captions)
        if (cap.rightAligned && cap.top == b.top) caption = cap.text;
      for (char& ch : caption)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      EXPECT_NE(caption.find("top, left"), std::string::npos) << name << ": \"" << caption << "\"";
    }
  }
  EXPECT_EQ(rows, 4);
}

TEST(EditorLayout, PanelsWithAHintKeepItsPlaceFree) {
  for (const Panel& panel : kPanels) {
    if (std::string(panel.name) == "FormPanel") continue;  // the window panel has no hint
    for (const Box& b : panel.boxes)
      EXPECT_LE(b.top + b.height + 2, editor_layout::kTipTop) << panel.name << "." << b.name;
  }
}

}  // namespace
