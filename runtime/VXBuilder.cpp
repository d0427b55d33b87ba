#include "runtime/VXBuilder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>

#include "document/ProjectText.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/Process.h"
#include "platform/rtl/Registry.h"
#include "skin/KUtilities.h"

namespace {

// The anchors an "Alignment" value names; false for any other value (the anchors stay).
bool AnchorsOfAlignment(const std::string& Value, TAnchors& Anchors) {
  if (Value == "Topleft") {
    Anchors = {akLeft, akTop};
  } else if (Value == "Topright") {
    Anchors = {akTop, akRight};
  } else if (Value == "Bottomleft") {
    Anchors = {akLeft, akBottom};
  } else if (Value == "Bottomright") {
    Anchors = {akRight, akBottom};
  } else {
    return false;
  }
  return true;
}

void ApplyAlignment(TControl* Control, const std::string& Value) {
  TAnchors anchors;
  if (AnchorsOfAlignment(Value, anchors)) Control->SetAnchors(anchors);
}

// "Autosize=True" makes a control stretch with the window's width.
void ApplyAutosize(TControl* Control, const std::string& Value) {
  if (Value != "True") return;
  TAnchors anchors = Control->Anchors();
  anchors.Include(akLeft).Include(akRight);
  Control->SetAnchors(anchors);
}

// The font keys shared by labels and the address controls; false when Line is none of them.
bool ApplyFontKey(TFont* Font, const std::string& Line) {
  if (HasKey(Line, "Fontname")) {
    Font->SetName(GetValue(Line));
  } else if (HasKey(Line, "Fontcolor")) {
    Font->SetColor(IntegerValue(Line));
  } else if (HasKey(Line, "Fontheight")) {
    Font->SetHeight(BoundedValue(Line, TVXNumberKind::nkFontHeight));
  } else if (HasKey(Line, "Fontstyle")) {
    static constexpr TFontStyle styles[] = {fsBold, fsItalic, fsUnderline, fsStrikeOut};
    const int index = FontStyleIndex(GetValue(Line));
    if (index >= 0) Font->SetStyle(Font->Style() | TFontStyles{styles[index]});
  } else {
    return false;
  }
  return true;
}

// Bounds as the anchors move a control when its window becomes Shrink narrower and lower: a control held by
// its right (bottom) edge moves along, one held by both edges gives up that much of its size (down to
// nothing), one held by its left (top) edge stays.
TRect FollowEdges(TRect Bounds, TAnchors Anchors, TSize Shrink) {
  auto follow = [](int& Near, int& Far, bool HeldNear, bool HeldFar, int By) {
    if (!HeldFar) return;
    Far = HeldNear ? std::max(Near, Far - By) : Far - By;
    if (!HeldNear) Near -= By;
  };
  follow(Bounds.Left, Bounds.Right, Anchors.Contains(akLeft), Anchors.Contains(akRight), Shrink.cx);
  follow(Bounds.Top, Bounds.Bottom, Anchors.Contains(akTop), Anchors.Contains(akBottom), Shrink.cy);
  return Bounds;
}

// Quotes a word of a command line when it needs it, so that SplitCommandLine gives it back unchanged:
// inside quotes a run of backslashes is literal unless a quote follows it, so a run before a quote (the
// word's own or the closing one) is doubled, and the word's own quote gets one more backslash.
std::string QuoteWord(const std::string& Word) {
  if (!Word.empty() && Word.find_first_of(" \t\"") == std::string::npos) return Word;
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (const char c : Word) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      quoted.append(2 * backslashes + 1, '\\');
    } else {
      quoted.append(backslashes, '\\');
    }
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, '\\');
  return quoted + "\"";
}

}  // namespace

TSize BoundedWindowSize(TSize Wanted, TSize Minimum) {
  const int minWidth = std::clamp(Minimum.cx, 0, MaxWindowSide);
  const int minHeight =
      std::clamp(Minimum.cy, 0,
                 static_cast<int>(std::min<int64_t>(MaxWindowSide, MaxWindowPixels / std::max(1, minWidth))));
  int width = std::clamp(Wanted.cx, minWidth, MaxWindowSide);
  int height = std::clamp(Wanted.cy, minHeight, MaxWindowSide);
  if (int64_t{width} * height <= MaxWindowPixels) return {width, height};
  const double shrink = std::sqrt(static_cast<double>(MaxWindowPixels) / (double(width) * double(height)));
  width = std::max(minWidth, static_cast<int>(width * shrink));
  height = std::max(minHeight, static_cast<int>(std::min<int64_t>(height, MaxWindowPixels / width)));
  // A minimum height that the shrunk width cannot afford takes the width down instead.
  if (int64_t{width} * height > MaxWindowPixels) width = static_cast<int>(MaxWindowPixels / height);
  return {width, height};
}

namespace {

// A control along one axis of its window: its near and far edge, and whether the window's near and far
// edges hold it.
struct TSpan {
  int Near, Far;
  bool HeldNear, HeldFar;
  // Stays where it is as the window shrinks, or moves along with the far edge.
  [[nodiscard]] bool Stays() const { return !HeldFar; }
  [[nodiscard]] bool Follows() const { return HeldFar && !HeldNear; }
};

TSpan SpanX(const TPlacedControl& P) {
  return {P.Bounds.Left, P.Bounds.Right, P.Anchors.Contains(akLeft), P.Anchors.Contains(akRight)};
}
TSpan SpanY(const TPlacedControl& P) {
  return {P.Bounds.Top, P.Bounds.Bottom, P.Anchors.Contains(akTop), P.Anchors.Contains(akBottom)};
}

// Whether the window shrinking brings B, beyond A, onto A.
bool Approaches(const TSpan& A, const TSpan& B) {
  return A.Stays() && B.Follows() && A.Far <= B.Near;
}

// Whether two controls overlap along an axis, or can come to as the window shrinks.
bool MayMeet(const TSpan& A, const TSpan& B) {
  return (A.Near < B.Far && B.Near < A.Far) || Approaches(A, B) || Approaches(B, A);
}

// The least extent of a window laid out at Extent in which B, beyond A, does not cover it.
int KeepApart(const TSpan& A, const TSpan& B, int Extent) {
  if (Approaches(A, B)) return Extent - (B.Near - A.Far);
  if (Approaches(B, A)) return Extent - (A.Near - B.Far);
  return 0;
}

}  // namespace

TSize HoldingSize(const std::vector<TPlacedControl>& Placed, TSize Laid) {
  // Along one axis: the near edge, the far edge, whether the near and the far side hold the control.
  auto need = [](int Near, int Far, bool HeldNear, bool HeldFar, int Extent) {
    if (HeldFar && HeldNear) return Near;
    if (HeldFar) return Extent - Near;
    return Far;
  };
  TSize size{0, 0};
  for (size_t i = 0; i < Placed.size(); ++i) {
    const TSpan x = SpanX(Placed[i]), y = SpanY(Placed[i]);
    size.cx = std::max(size.cx, need(x.Near, x.Far, x.HeldNear, x.HeldFar, Laid.cx));
    size.cy = std::max(size.cy, need(y.Near, y.Far, y.HeldNear, y.HeldFar, Laid.cy));
    // No control moves onto another that it can meet.
    for (size_t j = i + 1; j < Placed.size(); ++j) {
      const TSpan ox = SpanX(Placed[j]), oy = SpanY(Placed[j]);
      if (MayMeet(y, oy)) size.cx = std::max(size.cx, KeepApart(x, ox, Laid.cx));
      if (MayMeet(x, ox)) size.cy = std::max(size.cy, KeepApart(y, oy, Laid.cy));
    }
  }
  return size;
}

std::string ExpandExeRelative(const std::string& Address, const std::string& ExeFolder) {
  if (Address.empty() || Address[0] != '#') return Address;
  return IncludeTrailingPathDelimiter(ExeFolder) + Address.substr(1);
}

TExecCommand ExecCommandOf(const std::string& Target) {
  const std::vector<std::string> words = SplitCommandLine(Target);
  if (words.empty()) return {};
  TExecCommand command;
  command.WorkingDir = ExtractFilePath(words[0]);
  // A program named with its folder is that folder's file or nothing: "./" keeps the search path out.
  command.CommandLine = QuoteWord(command.WorkingDir.empty() ? words[0] : "./" + ExtractFileName(words[0]));
  for (size_t i = 1; i < words.size(); ++i)
    command.CommandLine += " " + QuoteWord(words[i]);
  return command;
}

TKeyTranslation TranslateEnterKey(const TMsg& Msg, bool& EnterPending) {
  TKeyTranslation t;
  auto post = [&](UINT Message, WPARAM WParam, uint32_t LParam) {
    TMsg& m = t.Posted[t.PostedCount++];
    m.hwnd = Msg.hwnd;
    m.message = Message;
    m.wParam = WParam;
    m.lParam = static_cast<LPARAM>(static_cast<int32_t>(LParam));
  };
  const auto lparam = static_cast<uint32_t>(Msg.lParam);
  if (Msg.message == WM_KEYDOWN && Msg.wParam == 13 && lparam == 0x1C0001u) {
    post(WM_KEYDOWN, 17, 0x1D0001u);
    post(WM_KEYDOWN, 77, 0x320001u);
    t.Handled = true;
    EnterPending = true;
  } else if (Msg.message == WM_KEYUP && Msg.wParam == 13 && lparam == 0xC01C0001u) {
    post(WM_KEYUP, 77, 0xC0320001u);
    post(WM_KEYUP, 17, 0xC01D0001u);
    t.Handled = true;
    EnterPending = false;
  } else if (Msg.message == WM_CHAR && Msg.wParam == 109 && lparam == 0x320001u && EnterPending) {
    post(WM_CHAR, 13, 0x320001u);
    t.Handled = true;
    EnterPending = false;
  }
  return t;
}

// ---- Reading ---------------------------------------------------------------------------------------------

// The state of one reading of a project text: the inner rectangle of the Global section and the control
// of the section being read.
struct TVXBuilder::TReader {
  TReader(TVXBuilder& Window, std::string Name) : W(Window), FileName(std::move(Name)) {}

  TVXBuilder& W;
  std::string FileName;
  TRect Inner{0, 0, 0, 0};
  TVXOButton* Button = nullptr;
  TVXOLabel* Label = nullptr;
  int LabelWidth = 0;
  // Whether a skin was named; whether it could not be loaded (or is empty), so that the window was laid
  // out at the start size instead of the skin's; the size of the picture the skin shows.
  bool SkinNamed = false;
  bool BrokenSkin = false;
  TSize SkinSize{0, 0};
  // The pictures that could not be loaded, each named once (by the file its name resolves to), and the
  // report of them: the first few by name, then their number.
  std::set<std::string> FailedPictures;
  std::string FailureReport;
  int Unnamed = 0;
  static constexpr size_t NamedFailures = 10;

  static int Position(const std::string& Line) { return BoundedValue(Line, TVXNumberKind::nkPosition); }
  static int Size(const std::string& Line) { return BoundedValue(Line, TVXNumberKind::nkSize); }

  [[nodiscard]] bool Failed(const std::string& Path) const {
    return FailedPictures.count(ResolvePath(Path)) != 0;
  }
  void Fail(const std::string& Path, const std::string& Message) {
    if (!FailedPictures.insert(ResolvePath(Path)).second) return;
    if (FailedPictures.size() > NamedFailures) {
      ++Unnamed;
      return;
    }
    if (!FailureReport.empty()) FailureReport += "\n";
    FailureReport += FileName + ": picture \"" + Path + "\": " + Message;
  }
  [[nodiscard]] std::string Report() const {
    if (Unnamed == 0) return FailureReport;
    return FailureReport + "\n" + FileName + ": " + IntToStr(Unnamed) + " more pictures cannot be loaded";
  }

  // Lists the picture at Path (decoding it once: a listed picture is taken as it is); null, after
  // noting the failure, for a picture that cannot be loaded.
  TBitmap* ListPicture(const std::string& Path) {
    const int listed = W.FBitmaps->IndexOf(Path);
    if (listed >= 0) return W.FBitmaps->GetBitmap(listed);
    if (Failed(Path)) return nullptr;
    try {
      return W.FBitmaps->Add(Path);
    } catch (const Exception& e) {
      Fail(Path, e.Message);
      return nullptr;
    }
  }
  // The listed picture a button key names; the empty value and a picture that cannot be loaded are no
  // picture (the button keeps its size and can still be clicked).
  TBitmap* Picture(const std::string& Line) {
    const std::string path = GetValue(Line);
    return path.empty() ? nullptr : ListPicture(path);
  }

  // The skin: a picture already listed is given to the image cache as it was decoded, so it is not read
  // a second time. A skin that cannot be loaded (or is empty) says nothing of the project's size: the
  // window is laid out at the start size, so that no anchor moves a control out of it when it is shown.
  void SkinLine(const std::string& Name) {
    KMediaList* cache = KMediaList::Instance();
    const int listed = IsGifFile(Name) || cache->IndexOf(Name) >= 0 ? -1 : W.FBitmaps->IndexOf(Name);
    if (listed >= 0) {
      auto shared = std::make_unique<TBitmap32>();
      shared->Assign(W.FBitmaps->GetBitmap(listed));
      cache->AddOwned(Name, std::move(shared));
    }
    W.Skin()->SetFileName(Name);
    TBitmap32* skin = cache->GetBitmap(W.Skin()->FileName());
    const std::string error = cache->LoadError(Name);
    if (!error.empty()) Fail(Name, error);
    SkinNamed = true;
    SkinSize = {skin->Width(), skin->Height()};
    BrokenSkin = !error.empty() || skin->IsEmpty() || Failed(Name);
    if (!BrokenSkin) {
      W.SetWidth(skin->Width());
      W.SetHeight(skin->Height());
    } else {
      W.SetWidth(W.FStartWidth > 0 ? W.FStartWidth : W.Width());
      W.SetHeight(W.FStartHeight > 0 ? W.FStartHeight : W.Height());
    }
  }

  // After a skin that cannot be loaded, or one smaller than what the project places (its controls and its
  // web view): the skin says nothing of the size the project was made for, so the window is laid out at
  // its start size, or larger to hold every control (the skin it was designed on was at least that
  // large), the controls keeping their places; and it is never made smaller than holds them all. A skin
  // that holds them all lays them out as usual, also where it is larger than a window may be.
  void HoldEveryControl() {
    if (!SkinNamed) return;
    int right = W.FWebLeft + W.FWebWidth;
    int bottom = W.FWebTop + W.FWebHeight;
    std::vector<std::pair<TControl*, TRect>> placed;
    for (int i = 0; i < W.ControlCount(); ++i) {
      TControl* c = W.Controls(i);
      if (c == W.WebBase || !c->Visible()) continue;
      placed.emplace_back(c, c->BoundsRect());
      right = std::max(right, c->Left() + c->Width());
      bottom = std::max(bottom, c->Top() + c->Height());
    }
    if (!BrokenSkin && right <= SkinSize.cx && bottom <= SkinSize.cy) {
      FollowBoundedWindow(placed);
      return;
    }
    const int startWidth = W.FStartWidth > 0 ? W.FStartWidth : W.Width();
    const int startHeight = W.FStartHeight > 0 ? W.FStartHeight : W.Height();
    W.SetBounds(W.Left(), W.Top(), std::max(right, startWidth), std::max(bottom, startHeight));
    std::vector<TPlacedControl> held{{W.WebRect(), {akLeft, akTop, akRight, akBottom}}};
    for (const auto& [control, bounds] : placed) {
      control->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
      held.push_back({bounds, control->Anchors()});
    }
    const TSize holding = HoldingSize(held, {W.Width(), W.Height()});
    const TSize minimum = BoundedWindowSize({std::max(W.Constraints()->MinWidth(), holding.cx),
                                             std::max(W.Constraints()->MinHeight(), holding.cy)},
                                            {0, 0});
    W.Constraints()->SetMinWidth(minimum.cx);
    W.Constraints()->SetMinHeight(minimum.cy);
  }

  // A skin larger than a window may be: the window took the largest size it may while the controls were
  // placed as on the skin, so they follow the window's edges as if it had shrunk from the skin's size.
  void FollowBoundedWindow(const std::vector<std::pair<TControl*, TRect>>& Placed) {
    const TSize shrink{std::max(0, SkinSize.cx - W.Width()), std::max(0, SkinSize.cy - W.Height())};
    if (shrink.cx == 0 && shrink.cy == 0) return;
    for (const auto& [control, bounds] : Placed) {
      const TRect r = FollowEdges(bounds, control->Anchors(), shrink);
      control->SetBounds(r.Left, r.Top, r.Width(), r.Height());
    }
    const TRect web = FollowEdges(W.WebRect(), {akLeft, akTop, akRight, akBottom}, shrink);
    W.FWebWidth = web.Width();
    W.FWebHeight = web.Height();
  }

  void Begin(TVXSectionKind Kind) {
    switch (Kind) {
      case TVXSectionKind::skButton:
        Button = new TVXOButton(&W);
        Button->SetParent(&W);
        break;
      case TVXSectionKind::skLabel:
        Label = new TVXOLabel(&W);
        Label->SetParent(&W);
        Label->SetAutoSize(false);
        LabelWidth = Label->Width();
        break;
      case TVXSectionKind::skEdit:
        W.AddressEdit->SetVisible(false);
        W.AddressCombo->SetVisible(false);
        break;
      default:
        break;
    }
  }

  void Line(TVXSectionKind Kind, const std::string& Line) {
    switch (Kind) {
      case TVXSectionKind::skBitmaps:
        (void)ListPicture(Line);
        break;
      case TVXSectionKind::skGlobal:
        GlobalLine(Line);
        break;
      case TVXSectionKind::skWeb:
        WebLine(Line);
        break;
      case TVXSectionKind::skButton:
        ButtonLine(Line);
        break;
      case TVXSectionKind::skLabel:
        LabelLine(Line);
        break;
      case TVXSectionKind::skEdit:
        EditLine(Line);
        break;
      default:
        break;
    }
  }

  void End(TVXSectionKind Kind) {
    switch (Kind) {
      case TVXSectionKind::skWeb:
        WebEnd();
        break;
      case TVXSectionKind::skLabel:
        // The caption's height in the label's font, then the width that was read.
        Label->SetAutoSize(true);
        Label->SetAutoSize(false);
        Label->SetWidth(LabelWidth);
        Label = nullptr;
        break;
      case TVXSectionKind::skEdit: {
        // The class library's font height is negative for a character height; either sign gives a
        // positive field height.
        const int fontHeight = W.AddressEdit->Font()->Height();
        W.AddressEdit->SetHeight(4 + std::abs(fontHeight));
        break;
      }
      case TVXSectionKind::skButton:
        Button = nullptr;
        break;
      default:
        break;
    }
  }

  void GlobalLine(const std::string& Line) {
    if (HasKey(Line, "Top")) W.SetTop(Position(Line));
    if (HasKey(Line, "Left")) W.SetLeft(Position(Line));
    if (HasKey(Line, "Width")) W.FStartWidth = Size(Line);
    if (HasKey(Line, "Height")) W.FStartHeight = Size(Line);
    if (HasKey(Line, "ILeft")) Inner.Left = Position(Line);
    if (HasKey(Line, "ITop")) Inner.Top = Position(Line);
    if (HasKey(Line, "IRight")) Inner.Right = Position(Line);
    if (HasKey(Line, "IBottom")) Inner.Bottom = Position(Line);
    if (IsStayOnTopLine(Line)) W.SetFormStyle(fsStayOnTop);
  }

  void WebLine(const std::string& Line) {
    if (HasKey(Line, "Top")) W.FWebTop = Position(Line);
    if (HasKey(Line, "Left")) W.FWebLeft = Position(Line);
    if (HasKey(Line, "Width")) W.FWebWidth = Size(Line);
    if (HasKey(Line, "Height")) W.FWebHeight = Size(Line);
    if (HasKey(Line, "Bitmap")) SkinLine(GetValue(Line));
    if (HasKey(Line, "InvisibleColor")) W.Skin()->SetInvisibleColor(IntegerValue(Line));
    if (HasKey(Line, "Startpage")) W.SetStartpage(GetValue(Line));
    if (HasKey(Line, "StartSound")) W.StartSound->SetWaveName(GetValue(Line));
    if (HasKey(Line, "ExitSound")) W.EndSound->SetWaveName(GetValue(Line));
    if (HasKey(Line, "Position")) {
      const std::string value = GetValue(Line);
      if (value == "Upper left") W.SetPosition(poDefaultPosOnly);
      if (value == "Screencenter") W.SetPosition(poScreenCenter);
    }
    if (HasKey(Line, "ZOrder")) W.FOrderer->Add(W.WebBase, IntegerValue(Line));
  }

  void WebEnd() {
    // The inner rectangle of a skin is put in order for the picture the skin shows, as the designer does
    // when it is edited: edges crossed or outside the picture would leave a band of the window unpainted,
    // and cut away. The minimum size keeps that picture's fixed parts.
    const TRect inner = SkinNamed ? FitInnerRect(Inner, SkinSize) : Inner;
    const TSize fixed = SkinNamed ? SkinSize : TSize{W.Width(), W.Height()};
    W.Skin()->SetInnerRect(inner);
    W.Skin()->SetStretch(true);
    W.Skin()->SetMode(4);
    W.SetAlphaThreshold(100);
    W.SetRegionMode(4);
    // The skin's fixed border parts plus 4 pixels; never negative, and never beyond the largest window,
    // whatever the inner rectangle says.
    const TSize minimum = BoundedWindowSize({std::max(0, fixed.cx + inner.Left - inner.Right + 4),
                                             std::max(0, fixed.cy + inner.Top - inner.Bottom + 4)},
                                            {0, 0});
    W.Constraints()->SetMinWidth(minimum.cx);
    W.Constraints()->SetMinHeight(minimum.cy);
  }

  void ButtonLine(const std::string& Line) {
    if (HasKey(Line, "ZOrder")) W.FOrderer->Add(Button, IntegerValue(Line));
    if (HasKey(Line, "Top")) Button->SetTop(Position(Line));
    if (HasKey(Line, "Left")) Button->SetLeft(Position(Line));
    if (HasKey(Line, "Mask")) Button->SetMaskBitmap(Picture(Line));
    if (HasKey(Line, "Touched")) Button->SetTouchedBitmap(Picture(Line));
    if (HasKey(Line, "Pressed")) Button->SetPressedBitmap(Picture(Line));
    if (HasKey(Line, "Disabled")) Button->SetDisabledBitmap(Picture(Line));
    if (HasKey(Line, "Alignment")) ApplyAlignment(Button, GetValue(Line));
    if (HasKey(Line, "Sound")) Button->SetSound(GetValue(Line));
    if (HasKey(Line, "Hint")) {
      const std::string value = GetValue(Line);
      if (!Trim(value).empty()) {
        Button->SetHint(value);
        Button->SetShowHint(true);
      }
    }
    if (HasKey(Line, "InvisibleColor")) {
      Button->InvisibleColor = IntegerValue(Line);
      Button->MaskChanged();
    }
    if (HasKey(Line, "Pressaction")) {
      Button->SetPressaction(GetValue(Line));
      W.BindPressAction(Button);
    }
    if (HasKey(Line, "Navigationtarget")) Button->SetNavigationtarget(GetValue(Line));
  }

  void LabelLine(const std::string& Line) {
    if (HasKey(Line, "ZOrder")) W.FOrderer->Add(Label, IntegerValue(Line));
    if (HasKey(Line, "Top")) Label->SetTop(Position(Line));
    if (HasKey(Line, "Left")) Label->SetLeft(Position(Line));
    if (HasKey(Line, "Width")) {
      LabelWidth = Size(Line);
      Label->SetWidth(LabelWidth);
    }
    if (HasKey(Line, "Alignment")) ApplyAlignment(Label, GetValue(Line));
    if (HasKey(Line, "Autosize")) ApplyAutosize(Label, GetValue(Line));
    if (HasKey(Line, "Color")) Label->SetColor(IntegerValue(Line));
    if (HasKey(Line, "Style")) Label->SetStyle(GetValue(Line));
    if (HasKey(Line, "Text")) Label->SetCustomText(GetValue(Line));
    if (HasKey(Line, "Transparent")) Label->SetTransparent(GetValue(Line) == "1");
    ApplyFontKey(Label->Font(), Line);
  }

  void EditLine(const std::string& Line) {
    TEdit* edit = W.AddressEdit;
    TComboBox* combo = W.AddressCombo;
    auto both = [&](auto&& Apply) {
      Apply(static_cast<TWinControl*>(edit));
      Apply(static_cast<TWinControl*>(combo));
    };
    if (HasKey(Line, "Top")) {
      const int v = Position(Line);
      both([&](TWinControl* c) { c->SetTop(v); });
    }
    if (HasKey(Line, "Left")) {
      const int v = Position(Line);
      both([&](TWinControl* c) { c->SetLeft(v); });
    }
    if (HasKey(Line, "Width")) {
      const int v = Size(Line);
      both([&](TWinControl* c) { c->SetWidth(v); });
    }
    if (HasKey(Line, "Color")) {
      const int v = IntegerValue(Line);
      both([&](TWinControl* c) { c->SetColor(v); });
    }
    if (HasKey(Line, "Alignment")) both([&](TWinControl* c) { ApplyAlignment(c, GetValue(Line)); });
    if (HasKey(Line, "Autosize")) both([&](TWinControl* c) { ApplyAutosize(c, GetValue(Line)); });
    if (HasKey(Line, "Style")) {
      edit->SetVisible(GetValue(Line) == "Simple Edit");
      combo->SetVisible(!edit->Visible());
    }
    if (HasKey(Line, "ZOrder")) {
      const int v = IntegerValue(Line);
      W.FOrderer->Add(edit, v);
      W.FOrderer->Add(combo, v);
    }
    both([&](TWinControl* c) { ApplyFontKey(c->Font(), Line); });
  }
};

void TVXBuilder::ReadConfig(const std::string& FileName) {
  TStringList lines;
  lines.LoadFromFile(FileName);
  TReader reader{*this, FileName};
  TVXSectionHandlers handlers;
  handlers.OnBegin = [&](TVXSectionKind Kind) { reader.Begin(Kind); };
  handlers.OnLine = [&](TVXSectionKind Kind, const std::string& Line) { reader.Line(Kind, Line); };
  handlers.OnEnd = [&](TVXSectionKind Kind) { reader.End(Kind); };
  try {
    ReadProjectSections(lines, RuntimeReaderKinds(), handlers, FileName);
  } catch (Exception& e) {
    // One report: the pictures that could not be loaded before the failure, then the failure.
    reader.HoldEveryControl();
    if (!reader.FailureReport.empty()) e.Message = reader.Report() + "\n" + e.Message;
    throw;
  }
  reader.HoldEveryControl();
  // A picture that cannot be loaded does not end the reading: the window runs with everything else.
  if (!reader.FailureReport.empty()) Application->HandleException(this, EInvalidGraphic(reader.Report()));
}

// ---- Press actions ---------------------------------------------------------------------------------------

namespace {

using TClickHandler = void (TVXBuilder::*)(TObject*);
using TMouseHandler = void (TVXBuilder::*)(TObject*, TMouseButton, TShiftState, int, int);

struct TPressAction {
  const char* Name;
  TClickHandler Click;
  TMouseHandler MouseDown;
  bool StartEnabled;
};

const TPressAction PressActions[] = {
    {"Nothing", nullptr, nullptr, true},
    {"Back", &TVXBuilder::GoBackClick, nullptr, false},
    {"Forward", &TVXBuilder::GoForwardClick, nullptr, false},
    {"Exit", &TVXBuilder::ExitClick, nullptr, true},
    {"Refresh", &TVXBuilder::RefreshClick, nullptr, true},
    {"Navigate", &TVXBuilder::NavigateClick, nullptr, true},
    {"Navigate silent", &TVXBuilder::NavigateSilentClick, nullptr, true},
    {"Navigate to target", &TVXBuilder::NavigateTargetClick, nullptr, true},
    {"Minimize", &TVXBuilder::MinimizeClick, nullptr, true},
    {"Maximize", &TVXBuilder::MaximizeClick, nullptr, true},
    {"Restore", &TVXBuilder::RestoreClick, nullptr, true},
    {"Resize", nullptr, &TVXBuilder::ResizeAll, true},
    {"Move", nullptr, &TVXBuilder::MoveForm, true},
    {"Cancel", &TVXBuilder::StopClick, nullptr, true},
    {"Exec Program", &TVXBuilder::ExecProgramClick, nullptr, true},
    {"Print", &TVXBuilder::PrintClick, nullptr, true},
    {"Favorites", &TVXBuilder::FavoritesClick, nullptr, true},
    {"Open", &TVXBuilder::OpenClick, nullptr, true},
    {"Save as", &TVXBuilder::SaveAsClick, nullptr, true},
};

// Runs a web-view call whose failure the user is not told about.
template <typename F>
void Silently(F&& Call) {
  try {
    Call();
  } catch (const std::exception&) {
  }
}

// The same, except that a page that could not be written into a file is reported: its old file stays,
// and the user must not take the page for saved.
template <typename F>
void ReportingFiles(TObject* Sender, F&& Call) {
  try {
    Call();
  } catch (const EWebFileError& e) {
    Application->HandleException(Sender, e);
  } catch (const std::exception&) {
  }
}

}  // namespace

void TVXBuilder::BindPressAction(TVXOButton* Button) {
  const std::string& name = Button->Pressaction();
  for (const TPressAction& action : PressActions) {
    if (name != action.Name) continue;
    if (action.Click != nullptr) {
      const TClickHandler click = action.Click;
      Button->OnClick = [this, click](TObject* Sender) { (this->*click)(Sender); };
    }
    if (action.MouseDown != nullptr) {
      const TMouseHandler down = action.MouseDown;
      Button->OnMouseDown = [this, down](TObject* Sender, TMouseButton B, TShiftState S, int X, int Y) {
        (this->*down)(Sender, B, S, X, Y);
      };
    }
    if (name == "Exit") Button->Player()->SetAsync(false);
    Button->SetEnabled(action.StartEnabled);
    return;
  }
}

void TVXBuilder::Notification(TComponent* AComponent, TOperation Operation) {
  TVexForm::Notification(AComponent, Operation);
  if (Operation != TOperation::opRemove) return;
  if (AComponent == Web) Web = nullptr;
  if (AComponent == WebBase) WebBase = nullptr;
  if (AComponent == AddressEdit) AddressEdit = nullptr;
  if (AComponent == AddressCombo) AddressCombo = nullptr;
  if (AComponent == FBitmaps) FBitmaps = nullptr;
}

void TVXBuilder::NavigateTo(const std::string& Address) {
  if (Web == nullptr) return;
  Silently([&] { Web->Navigate2(Address); });
}

void TVXBuilder::GoBackClick(TObject* /*Sender*/) {
  if (Web != nullptr) Silently([&] { Web->GoBack(); });
}

void TVXBuilder::GoForwardClick(TObject* /*Sender*/) {
  if (Web != nullptr) Silently([&] { Web->GoForward(); });
}

void TVXBuilder::RefreshClick(TObject* /*Sender*/) {
  if (Web != nullptr) Silently([&] { Web->Refresh2(); });
}

void TVXBuilder::StopClick(TObject* /*Sender*/) {
  if (Web != nullptr) Silently([&] { Web->Stop(); });
}

void TVXBuilder::PrintClick(TObject* /*Sender*/) {
  if (Web != nullptr) ReportingFiles(this, [&] { Web->ExecWB(OLECMDID_PRINT, OLECMDEXECOPT_DODEFAULT); });
}

void TVXBuilder::SaveAsClick(TObject* /*Sender*/) {
  if (Web != nullptr) ReportingFiles(this, [&] { Web->ExecWB(OLECMDID_SAVEAS, OLECMDEXECOPT_DODEFAULT); });
}

void TVXBuilder::ExitClick(TObject* /*Sender*/) {
  Silently([&] { Close(); });
}

void TVXBuilder::MinimizeClick(TObject* /*Sender*/) {
  Silently([&] { Application->Minimize(); });
}

void TVXBuilder::MaximizeClick(TObject* /*Sender*/) {
  Silently([&] { SetWindowState(WindowState() == wsMaximized ? wsNormal : wsMaximized); });
}

void TVXBuilder::RestoreClick(TObject* /*Sender*/) {
  Silently([&] { SetWindowState(wsNormal); });
}

void TVXBuilder::NavigateClick(TObject* /*Sender*/) {
  if (AddressEdit == nullptr || AddressCombo == nullptr) return;
  std::string address = ExpandExeRelative(AddressEdit->Text(), ProgramFolder());
  if (AddressCombo->Visible()) address = ExpandExeRelative(AddressCombo->Text(), ProgramFolder());
  NavigateTo(address);
}

void TVXBuilder::NavigateSilentClick(TObject* Sender) {
  NavigateTargetClick(Sender);
}

void TVXBuilder::NavigateTargetClick(TObject* Sender) {
  if (auto* button = dynamic_cast<TVXOButton*>(Sender))
    NavigateTo(ExpandExeRelative(button->Navigationtarget(), ProgramFolder()));
}

void TVXBuilder::ExecProgramClick(TObject* Sender) {
  auto* button = dynamic_cast<TVXOButton*>(Sender);
  if (button == nullptr) return;
  // The program runs in its own folder; this process keeps its current directory, so relative media
  // names still resolve afterwards.
  const TExecCommand command = ExecCommandOf(button->Navigationtarget());
  if (command.CommandLine.empty()) return;
  Silently([&] { (void)WinExec(command.CommandLine, SW_SHOW, command.WorkingDir); });
}

void TVXBuilder::FavoritesClick(TObject* /*Sender*/) {
  TRegistry registry;
  registry.SetRootKey(HKEY_CURRENT_USER);
  if (registry.OpenKey(ShellFoldersKey, false) && Web != nullptr)
    Web->Navigate2(registry.ReadString(FavoritesValue));
}

void TVXBuilder::OpenClick(TObject* Sender) {
  if (!OpenDialog->Execute()) return;
  AddressEdit->SetText(OpenDialog->FileName());
  AddressCombo->SetText(OpenDialog->FileName());
  NavigateClick(Sender);
}

// ---- Web view events and address controls ----------------------------------------------------------------

bool TVXBuilder::IsSilentAddress(const std::string& URL) const {
  const std::string u = LowerCase(URL);
  for (int i = 0; i < ControlCount(); ++i) {
    auto* button = dynamic_cast<TVXOButton*>(Controls(i));
    if (button == nullptr || button->Pressaction() != "Navigate silent") continue;
    const std::string& target = button->Navigationtarget();
    if (Trim(target).empty()) continue;
    // The target as written, with the "#" rule applied, and as the URL the view was given.
    const std::string expanded = ExpandExeRelative(target, ProgramFolder());
    for (const std::string& form : {target, expanded, WebAddressToURL(expanded)}) {
      const std::string lowered = LowerCase(form);
      if (!lowered.empty() && u.find(lowered) != std::string::npos) return true;
    }
  }
  return false;
}

void TVXBuilder::WebNavigateComplete2(TObject* /*Sender*/, TObject* /*pDisp*/, const std::string& URL) {
  Repaint();
  if (AddressEdit == nullptr || AddressCombo == nullptr || IsSilentAddress(URL)) return;
  AddressEdit->SetText(URL);
  AddressCombo->SetText(URL);
  const std::string text = AddressCombo->Text();
  if (AddressCombo->Items()->IndexOf(text) < 0) AddressCombo->Items()->Insert(0, text);
}

void TVXBuilder::WebCommandStateChange(TObject* /*Sender*/, int Command, bool Enable) {
  const char* action = nullptr;
  if (Command == CSC_NAVIGATEFORWARD) action = "Forward";
  if (Command == CSC_NAVIGATEBACK) action = "Back";
  if (action == nullptr) return;
  for (int i = 0; i < ComponentCount(); ++i) {
    auto* button = dynamic_cast<TVXOButton*>(Components(i));
    if (button != nullptr && button->Pressaction() == action) button->SetEnabled(Enable);
  }
}

void TVXBuilder::WebTitleChange(TObject* /*Sender*/, const std::string& Text) {
  for (int i = 0; i < ControlCount(); ++i) {
    auto* label = dynamic_cast<TVXOLabel*>(Controls(i));
    if (label != nullptr && label->Style() == "Page Title") label->SetCaption(Text);
  }
}

void TVXBuilder::WebFullScreen(TObject* /*Sender*/, bool FullScreen) {
  SetWindowState(FullScreen ? wsMaximized : wsNormal);
}

void TVXBuilder::AddressEditKeyPress(TObject* Sender, char& Key) {
  if (Key != 13) return;
  NavigateClick(Sender);
  Key = 0;
}

void TVXBuilder::AddressComboChange(TObject* /*Sender*/) {
  if (Web == nullptr || AddressCombo == nullptr) return;
  if (AddressCombo->ItemIndex() >= 0) Web->Navigate2(AddressCombo->Text());
}

void TVXBuilder::AddressEditClick(TObject* /*Sender*/) {
  if (AddressEdit != nullptr) AddressEdit->SelectAll();
}

void TVXBuilder::AddressComboClick(TObject* /*Sender*/) {
  if (AddressCombo != nullptr) AddressCombo->SelectAll();
}

void TVXBuilder::ApplicationEvents1Message(TMsg& Msg, bool& Handled) {
  // The address controls take Enter as the character 13 directly, and the web view handles its own
  // keys: neither depends on the translation (which a Caps Lock or another layout would break).
  if (Msg.hwnd == AddressEdit || Msg.hwnd == AddressCombo || Msg.hwnd == Web) return;
  const TKeyTranslation t = TranslateEnterKey(Msg, FEnterPending);
  for (int i = 0; i < t.PostedCount; ++i)
    PostMessage(t.Posted[i].hwnd, t.Posted[i].message, t.Posted[i].wParam, t.Posted[i].lParam);
  if (t.Handled) Handled = true;
}

// ---- Window handling -------------------------------------------------------------------------------------

void TVXBuilder::DragWindow(TMouseButton Button, WPARAM Command) {
  if (Button != mbLeft) return;
  ReleaseCapture();
  Perform(WM_SYSCOMMAND, Command, -1);
}

void TVXBuilder::StartMoveItemLayer(TObject* /*Sender*/, TMouseButton Button, TShiftState /*Shift*/,
                                    int /*X*/, int /*Y*/, TCustomLayer* /*Layer*/) {
  DragWindow(Button, SC_DRAGMOVE);
}

void TVXBuilder::MoveForm(TObject* /*Sender*/, TMouseButton Button, TShiftState /*Shift*/, int /*X*/,
                          int /*Y*/) {
  DragWindow(Button, SC_DRAGMOVE);
}

void TVXBuilder::ResizeAll(TObject* /*Sender*/, TMouseButton Button, TShiftState /*Shift*/, int /*X*/,
                           int /*Y*/) {
  DragWindow(Button, SC_DRAGSIZE_BOTTOMRIGHT);
}

// ---- The form --------------------------------------------------------------------------------------------

TVXBuilder::TVXBuilder(TComponent* AOwner) : TVexForm(AOwner) {
  // Reading a project sets the skin, its settings and the window's size one by one, and showing sets
  // the size again: the skin is drawn and the window cut once, when it is shown.
  DeferSkinUntilShown();
}

TVXBuilder::~TVXBuilder() {
  // The components go while this window is still whole: their last events (a combo box losing the
  // focus reports a pick) reach handlers that find the references already cleared.
  // (The skin picture belongs to the skinned form, which frees it itself.)
  Destroying();
  for (int i = ComponentCount() - 1; i >= 0; --i) {
    TComponent* component = Components(i);
    if (component != Skin()) delete component;
  }
}

void TVXBuilder::ReadResource() {
  TVexForm::ReadResource();
  SetName("VXBuilder");
  SetCaption("VXBuilder");
  SetBounds(341, 164, 696, 480);
  SetColor(clBtnFace);
  Font()->SetName("MS Sans Serif");
  Font()->SetHeight(-11);

  StartSound = new TPlayerWave(this);
  StartSound->SetName("StartSound");
  StartSound->SetLoop(false);
  StartSound->SetAsync(true);
  EndSound = new TPlayerWave(this);
  EndSound->SetName("EndSound");
  EndSound->SetLoop(false);
  EndSound->SetAsync(false);

  AddressEdit = new TEdit(this);
  AddressEdit->SetName("AddressEdit");
  AddressEdit->SetParent(this);
  AddressEdit->SetBounds(200, 64, 121, 21);
  AddressEdit->SetAutoSize(false);
  AddressEdit->SetBorderStyle(bsNone);
  AddressEdit->SetTabOrder(0);
  AddressEdit->SetVisible(false);
  AddressEdit->OnEnter = [this](TObject* Sender) { AddressEditClick(Sender); };
  AddressEdit->OnKeyPress = [this](TObject* Sender, char& Key) { AddressEditKeyPress(Sender, Key); };

  AddressCombo = new TComboBox(this);
  AddressCombo->SetName("AddressCombo");
  AddressCombo->SetParent(this);
  AddressCombo->SetBounds(208, 104, 145, 21);
  AddressCombo->SetItemHeight(13);
  AddressCombo->SetTabOrder(1);
  AddressCombo->SetVisible(false);
  AddressCombo->OnClick = [this](TObject* Sender) { AddressComboChange(Sender); };
  AddressCombo->OnEnter = [this](TObject* Sender) { AddressComboClick(Sender); };
  AddressCombo->OnKeyPress = [this](TObject* Sender, char& Key) { AddressEditKeyPress(Sender, Key); };

  ApplicationEvents1 = new TApplicationEvents(this);
  ApplicationEvents1->SetName("ApplicationEvents1");
  ApplicationEvents1->OnMessage = [this](TMsg& Msg, bool& Handled) {
    ApplicationEvents1Message(Msg, Handled);
  };

  OpenDialog = new TOpenDialog(this);
  OpenDialog->SetName("OpenDialog");
  OpenDialog->SetDefaultExt("htm");
  OpenDialog->SetTitle("Open");
  OpenDialog->SetFilter(OpenDialogFilter);

  WebBase = new TFPanel(this);
  WebBase->SetName("WebBase");
  WebBase->SetParent(this);
  WebBase->SetBounds(168, 192, 225, 177);
  WebBase->SetAnchors({akLeft, akTop, akRight, akBottom});
  WebBase->SetBevelOuter(bvNone);
  WebBase->SetFullRepaint(false);
  WebBase->SetTabOrder(2);

  Web = new TVXOWebBrowser(this);
  Web->SetName("Web");
  Web->SetParent(WebBase);
  Web->SetBounds(0, 0, 225, 177);
  Web->SetTabOrder(0);
  Web->OnCommandStateChange = [this](TObject* Sender, int Command, bool Enable) {
    WebCommandStateChange(Sender, Command, Enable);
  };
  Web->OnTitleChange = [this](TObject* Sender, const std::string& Text) { WebTitleChange(Sender, Text); };
  Web->OnNavigateComplete2 = [this](TObject* Sender, TObject* pDisp, const std::string& URL) {
    WebNavigateComplete2(Sender, pDisp, URL);
  };
  Web->OnFullScreen = [this](TObject* Sender, bool On) { WebFullScreen(Sender, On); };

  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  OnShow = [this](TObject* Sender) { FormShow(Sender); };
  OnClose = [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
  OnResize = [this](TObject* Sender) { FormResize(Sender); };
}

bool TVXBuilder::CanResize(int& NewWidth, int& NewHeight) {
  const TSize bounded =
      BoundedWindowSize({NewWidth, NewHeight}, {Constraints()->MinWidth(), Constraints()->MinHeight()});
  NewWidth = bounded.cx;
  NewHeight = bounded.cy;
  return TVexForm::CanResize(NewWidth, NewHeight);
}

void TVXBuilder::FormCreate(TObject* /*Sender*/) {
  FBitmaps = new TVXBitmaps(this);
  FOrderer = std::make_unique<TZOrderer>();
  // The face drags the window even when the configuration cannot be read completely.
  OnMouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y,
                       TCustomLayer* Layer) { StartMoveItemLayer(Sender, Button, Shift, X, Y, Layer); };
  if (Owner() == static_cast<TApplication*>(Application)) ReadConfig("Config.VX");
}

void TVXBuilder::FormShow(TObject* /*Sender*/) {
  // The web view's panel is cut to the window: what lies beyond it is never seen, while a web view
  // larger than its window would still be rendered whole, and then grow with the window's anchors.
  const int left = std::clamp(FWebLeft, 0, ClientWidth());
  const int top = std::clamp(FWebTop, 0, ClientHeight());
  const int right = std::clamp(FWebLeft + FWebWidth, left, ClientWidth());
  const int bottom = std::clamp(FWebTop + FWebHeight, top, ClientHeight());
  WebBase->SetBounds(left, top, right - left, bottom - top);
  WebBase->SetDoubleBuffered(true);
  Web->SetDoubleBuffered(true);
  FOrderer->Apply();
  // A start size of 0 (no Global section read) keeps the window's own size.
  if (FStartWidth > 0) SetWidth(FStartWidth);
  if (FStartHeight > 0) SetHeight(FStartHeight);
  SetWidth(Width() + 1);
  SetWidth(Width() - 1);
  // Placed as designed but wholly off the desktop (a place made on a larger one), the window would be
  // out of reach without a window manager: it comes onto the desktop along that axis.
  if (Position() == poDesigned) {
    SetBoundsRect(InReach(BoundsRect(), Screen->DesktopRect()));
  }
  if (IsAudibleSound(StartSound->WaveName())) StartSound->Play();
  if (!Trim(FStartpage).empty()) {
    AddressEdit->SetText(FStartpage);
    AddressCombo->SetText(FStartpage);
    NavigateClick(this);
  }
  if (AddressEdit->Visible()) AddressEdit->SetFocus();
  if (AddressCombo->Visible()) AddressCombo->SetFocus();
}

void TVXBuilder::FormClose(TObject* /*Sender*/, TCloseAction& /*Action*/) {
  if (IsAudibleSound(EndSound->WaveName())) EndSound->Play();
}

void TVXBuilder::FormResize(TObject* /*Sender*/) {
  if (Web == nullptr || WebBase == nullptr) return;
  Web->SetBounds(-2, -2, WebBase->Width() + 4, WebBase->Height() + 4);
}

void TVXBuilder::PaintWindow(HDC DC) {
  // The buffer is copied as it stands, without the overlay; a buffer that was never rendered (or went
  // stale) is rendered first, so the window never shows an empty one. Where the stages would only copy
  // Bitmap into it, Bitmap is copied itself.
  TBitmap32* buffer = Bitmap();
  if (!StagesCopyBitmap()) {
    ResizeBackBuffer();
    if (!BufferCurrent()) PaintBufferStages();
    buffer = BackBuffer();
  }
  buffer->Lock();
  try {
    TRect r;
    GetViewport(r);
    BitBlt(DC, r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top, buffer->Handle(), 0, 0, SRCCOPY);
  } catch (...) {
    buffer->Unlock();
    throw;
  }
  buffer->Unlock();
}
