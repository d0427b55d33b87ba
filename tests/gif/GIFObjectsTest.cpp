// Colour maps, helpers, extensions and frames of the GIF subsystem.
#include <gtest/gtest.h>

#include "tests/gif/GIFTestUtil.h"

namespace {

Bytes Saved(TGIFExtension* Extension) {
  TMemoryStream stream;
  Extension->SaveToStream(&stream);
  return StreamBytes(stream);
}

// Loads the extension blocks of Data into a fresh frame of Image and returns the frame.
TGIFSubImage* FrameWithExtensions(TGIFImage& Image, const Bytes& Data) {
  auto frame = std::make_unique<TGIFSubImage>(&Image);
  auto stream = MemoryOf(Data);
  frame->Extensions()->LoadFromStream(stream.get(), frame.get());
  TGIFSubImage* raw = frame.get();
  Image.AddFrame(std::move(frame));
  return raw;
}

Bytes AppExtension(const char* Id, int IdSize, const Bytes& SubBlocks) {
  Bytes b;
  b.reserve(4 + static_cast<size_t>(IdSize) + SubBlocks.size());
  for (uint8_t v : {uint8_t{0x21}, uint8_t{0xFF}, static_cast<uint8_t>(IdSize)})
    b.push_back(v);
  for (int i = 0; i < IdSize; ++i)
    b.push_back(static_cast<uint8_t>(Id[i]));
  for (uint8_t v : SubBlocks)
    b.push_back(v);
  b.push_back(0x2C);
  return b;
}

}  // namespace

TEST(GIFHelpers, BitsAndPadding) {
  const std::vector<std::pair<int, int>> bits = {{0, 0}, {1, 1}, {2, 1}, {3, 2},   {4, 2},
                                                 {5, 3}, {8, 3}, {9, 4}, {129, 8}, {256, 8}};
  for (auto [n, b] : bits)
    EXPECT_EQ(BitsForColorCount(n), b) << n;
  EXPECT_EQ(PaddedByteCount(3, 8, 32), 4);
  EXPECT_EQ(PaddedByteCount(3, 24, 32), 12);
  EXPECT_EQ(PaddedByteCount(5, 24, 32), 16);
  EXPECT_EQ(PaddedByteCount(17, 1, 16), 4);
}

// Strings become sub-blocks of up to 255 bytes, byte for byte.
TEST(GIFHelpers, StringsToSubBlocksIsExact) {
  for (size_t n : {254u, 255u, 256u, 510u}) {
    TStringList list;
    list.Add(std::string(n, 'x'));
    list.Add("");
    TMemoryStream stream;
    StringsToSubBlocks(&stream, &list);
    Bytes expected;
    for (size_t i = 0; i < n; i += 255) {
      expected.push_back(static_cast<uint8_t>(std::min<size_t>(255, n - i)));
      expected.insert(expected.end(), std::min<size_t>(255, n - i), 'x');
    }
    expected.push_back(0);
    EXPECT_EQ(StreamBytes(stream), expected) << n;
    stream.SetPosition(0);
    TStringList back;
    SubBlocksToStrings(&stream, &back);
    EXPECT_EQ(back.Count(), static_cast<int>((n + 254) / 255));
  }
  // No terminator: what was read stays; a block longer than the data fails.
  TStringList list;
  auto unterminated = MemoryOf(Bytes{2, 'a', 'b'});
  SubBlocksToStrings(unterminated.get(), &list);
  EXPECT_EQ(list.Count(), 1);
  auto shortBlock = MemoryOf(Bytes{5, 'a', 'b'});
  EXPECT_THROW(SubBlocksToStrings(shortBlock.get(), &list), GIFException);
}

TEST(GIFColorMap, GrowthLimitsAndLookups) {
  TGIFImage image;
  TGIFColorMap* map = image.GlobalColorMap();
  const std::vector<std::pair<int, int>> reserve = {{1, 16},  {16, 16},   {17, 32},
                                                    {33, 64}, {255, 256}, {300, 256}};
  for (auto [n, allocated] : reserve) {
    map->Clear();
    map->Reserve(n);
    EXPECT_EQ(map->Capacity(), allocated) << n;
  }
  map->Clear();
  FillColorMap(map, 256);
  EXPECT_THROW(map->Add(0), GIFException);
  EXPECT_EQ(map->Count(), 256);
  // Unsorted maps answer the last match, sorted ones the first.
  map->Clear();
  for (TColor c : {0x000001, 0x000002, 0x0000FF, 0x000003, 0x000004, 0x0000FF})
    map->Add(c);
  EXPECT_EQ(map->FindColor(0x0000FF), 5);
  EXPECT_EQ(map->FindColor(0x123456), -1);
  EXPECT_THROW(map->RemoveColor(6), GIFException);
  map->RemoveColor(0);
  EXPECT_EQ(map->ColorAt(0), 0x000002);
}

TEST(GIFColorMap, ColorAtWarnsAndFallsBack) {
  TGIFImage image;
  WarningLog log;
  log.Attach(image);
  TGIFColorMap* map = image.GlobalColorMap();
  map->Add(0x0000FF);
  map->Add(0x00FF00);
  EXPECT_EQ(map->ColorAt(300), 0x0000FF);
  EXPECT_EQ(log.Messages, std::vector<std::string>{"Invalid color index"});
  map->Clear();
  EXPECT_THROW((void)map->ColorAt(0), GIFException);
  EXPECT_EQ(log.Messages.size(), 2u);
}

TEST(GIFColorMap, ReorderByUseRenumbersPixelsAndTransparency) {
  TGIFImage image;
  TGIFSubImage* frame = AddPixelFrame(image, 4, 1, Bytes{2, 2, 1, 2});
  TGIFColorMap* map = frame->ColorMap();
  for (TColor c : {0x10, 0x20, 0x30, 0x40})
    map->Add(c);
  auto gce = std::make_unique<TGIFGraphicControlExtension>(frame);
  gce->SetTransparent(true);
  gce->SetTransparentColorIndex(1);
  frame->Extensions()->Add(std::move(gce));
  EXPECT_TRUE(map->ReorderByUse());
  EXPECT_TRUE(map->Sorted());
  EXPECT_EQ(map->Count(), 2) << "colours no pixel uses are dropped";
  EXPECT_EQ(map->ColorAt(0), 0x30);
  EXPECT_EQ(FramePixels(frame), (Bytes{0, 0, 1, 0}));
  EXPECT_EQ(frame->ControlExtension()->TransparentColorIndex(), 1);
  EXPECT_EQ(frame->RequiredVersion(), 2);
  // Already in order: everything stays, but the map is sorted.
  TGIFImage second;
  TGIFSubImage* other = AddPixelFrame(second, 3, 1, Bytes{0, 0, 1});
  for (TColor c : {0x10, 0x20, 0x30})
    other->ColorMap()->Add(c);
  EXPECT_TRUE(other->ColorMap()->ReorderByUse());
  EXPECT_EQ(other->ColorMap()->Count(), 3);
  // A global map of an image without frames is not reordered.
  TGIFImage empty;
  FillColorMap(empty.GlobalColorMap(), 4);
  EXPECT_FALSE(empty.GlobalColorMap()->ReorderByUse());
}

TEST(GIFColorMap, WrittenTablesArePowersOfTwo) {
  TGIFImage image;
  TGIFColorMap* map = image.GlobalColorMap();
  map->Add(0x0000FF);
  TMemoryStream one;
  map->SaveToStream(&one);
  EXPECT_EQ(StreamBytes(one), (Bytes{0xFF, 0, 0, 0, 0, 0}));
  map->Add(0x00FF00);
  map->Add(0xFF0000);
  TMemoryStream three;
  map->SaveToStream(&three);
  EXPECT_EQ(StreamBytes(three), (Bytes{0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0, 0, 0}));
}

TEST(GIFExtensions, ApplicationExtensionsResolveByIdentifier) {
  const Bytes loop{3, 1, 7, 0, 0};
  struct Case {
    const char* Name;
    Bytes Data;
    bool IsLoop;
  };
  for (const auto& c : std::vector<Case>{
           {"NETSCAPE2.0", AppExtension("NETSCAPE2.0", 11, loop), true},
           {"ANIMEXTS1.0", AppExtension("ANIMEXTS1.0", 11, loop), true},
           // Loop data whose first sub-block size is 11 or 10 is not taken for an identifier.
           {"NETSCAPE 11", AppExtension("NETSCAPE2.0", 11, Bytes{11, 1, 7, 0, 1, 2, 3, 4, 5, 6, 7, 8, 0}),
            true},
           {"other", AppExtension("XMP DataXMP", 11, Bytes{3, 'a', 'b', 'c', 1, 'd', 0}), false}}) {
    TGIFImage image;
    TGIFSubImage* frame = FrameWithExtensions(image, c.Data);
    ASSERT_EQ(frame->Extensions()->Count(), 1) << c.Name;
    auto* ext = frame->Extensions()->Extensions(0);
    if (c.IsLoop) {
      auto* nsloop = dynamic_cast<TGIFAppExtNSLoop*>(ext);
      ASSERT_NE(nsloop, nullptr) << c.Name;
      EXPECT_EQ(nsloop->Loops(), 7);
    } else {
      ASSERT_NE(dynamic_cast<TGIFUnknownAppExtension*>(ext), nullptr) << c.Name;
      Bytes expected(c.Data.begin(), c.Data.end() - 1);
      EXPECT_EQ(Saved(ext), expected) << "unknown data is written back unchanged";
    }
  }
}

TEST(GIFExtensions, TenByteIdentifierAndLoopIds) {
  TGIFImage image;
  Bytes ten = AppExtension("ABCDEFGHIJ", 10, Bytes{2, 'x', 'y', 0});
  TGIFSubImage* frame = FrameWithExtensions(image, ten);
  auto* unknown = dynamic_cast<TGIFUnknownAppExtension*>(frame->Extensions()->Extensions(0));
  ASSERT_NE(unknown, nullptr);
  const Bytes saved = Saved(unknown);
  EXPECT_EQ(saved[2], 11) << "written back with block size 11";
  EXPECT_EQ(unknown->BlockCount(), 1);

  // Sub-block id 9 reads like 1; a buffer-size block; a short loop block is invalid.
  TGIFImage second;
  TGIFSubImage* f2 =
      FrameWithExtensions(second, AppExtension("NETSCAPE2.0", 11, Bytes{3, 9, 4, 1, 5, 2, 1, 0, 0, 0, 0}));
  auto* nsloop = dynamic_cast<TGIFAppExtNSLoop*>(f2->Extensions()->Extensions(0));
  ASSERT_NE(nsloop, nullptr);
  EXPECT_EQ(nsloop->Loops(), 0x104);
  EXPECT_EQ(nsloop->BufferSize(), 1u);
  nsloop->SetBufferSize(0);
  const Bytes out = Saved(nsloop);
  EXPECT_EQ(Bytes(out.end() - 5, out.end()), (Bytes{3, 1, 4, 1, 0}));
  TGIFImage third;
  EXPECT_THROW(FrameWithExtensions(third, AppExtension("NETSCAPE2.0", 11, Bytes{2, 1, 4, 0})), GIFException);
  TGIFImage fourth;
  EXPECT_THROW(FrameWithExtensions(fourth, AppExtension("NETSCAPE2.0", 12, Bytes{0})), GIFException);
}

TEST(GIFExtensions, GraphicControlExtension) {
  TGIFImage image;
  FillColorMap(image.GlobalColorMap(), 4);
  TGIFSubImage* frame = AddPixelFrame(image, 2, 1, Bytes{0, 1});
  auto gce = std::make_unique<TGIFGraphicControlExtension>(frame);
  TGIFGraphicControlExtension* raw = gce.get();
  frame->Extensions()->Add(std::move(gce));
  EXPECT_EQ(frame->ControlExtension(), raw);
  raw->SetTransparent(true);
  raw->SetDisposal(4);
  EXPECT_EQ(raw->Disposal(), 4);
  EXPECT_TRUE(raw->Transparent());
  EXPECT_FALSE(raw->UserInput());
  EXPECT_TRUE(frame->Transparent());
  WarningLog log;
  log.Attach(image);
  raw->SetTransparentColorIndex(9);
  EXPECT_EQ(raw->TransparentColorIndex(), 0);
  EXPECT_EQ(log.Messages, std::vector<std::string>{"Invalid color index"});
  frame->Extensions()->Delete(0);
  EXPECT_FALSE(frame->Transparent());
  EXPECT_EQ(frame->ControlExtension(), nullptr);
}

// Of two graphic control extensions, the one nearest to the image controls it.
TEST(GIFExtensions, LastControlExtensionControlsTheFrame) {
  const Bytes data{0x21, 0xF9, 4, 0, 0, 0, 0, 0, 0x21, 0xF9, 4, 1, 0, 0, 3, 0, 0x2C};
  TGIFImage image;
  TGIFSubImage* frame = FrameWithExtensions(image, data);
  ASSERT_EQ(frame->Extensions()->Count(), 2);
  EXPECT_EQ(frame->ControlExtension(), frame->Extensions()->Extensions(1));
  EXPECT_TRUE(frame->Transparent());
  EXPECT_EQ(frame->ControlExtension()->TransparentColorIndex(), 3);
  const Bytes reversed{0x21, 0xF9, 4, 1, 0, 0, 3, 0, 0x21, 0xF9, 4, 0, 0, 0, 0, 0, 0x2C};
  TGIFImage second;
  EXPECT_FALSE(FrameWithExtensions(second, reversed)->Transparent());
}

TEST(GIFExtensions, ReaderErrors) {
  TGIFImage image;
  EXPECT_THROW(FrameWithExtensions(image, Bytes{0x21, 0x02, 1, 0, 0x2C}), GIFException) << "unknown label";
  WarningLog log;
  log.Attach(image);
  TGIFSubImage* frame = FrameWithExtensions(image, Bytes{0x21, 0xFE, 1, 'a', 0, 0x99});
  EXPECT_EQ(frame->Extensions()->Count(), 1);
  EXPECT_EQ(log.Messages, std::vector<std::string>{"Invalid extension introducer"});
}

TEST(GIFSubImage, BoundsAndTheLogicalScreen) {
  TGIFImage image;
  WarningLog log;
  log.Attach(image);
  image.SetWidth(25);
  image.SetHeight(5);
  auto frame = std::make_unique<TGIFSubImage>(&image);
  frame->SetBounds(10, 0, 20, 5);
  EXPECT_EQ(image.Width(), 30);
  EXPECT_EQ(log.Messages, (std::vector<std::string>{"Image width too small for contained frames",
                                                    "Image exceeds Logical Screen size"}));
  EXPECT_EQ(frame->PixelsSize(), 100);
  frame->Pixels()[3] = 7;
  frame->SetWidth(21);
  EXPECT_EQ(frame->PixelsSize(), 105);
  EXPECT_EQ(frame->PixelAt(3, 0), 0);
  EXPECT_THROW((void)frame->PixelAt(21, 0), GIFException);
  EXPECT_THROW(frame->SetBounds(65530, 0, 10, 1), GIFException) << "the screen would wrap";
  EXPECT_EQ(image.Width(), 31);
  image.AddFrame(std::move(frame));
  EXPECT_THROW(image.SetWidth(20), GIFException);
  EXPECT_EQ(image.Width(), 31);
  int changes = 0;
  image.OnChange = [&](TObject*) { ++changes; };
  image.SetWidth(31);
  EXPECT_EQ(changes, 0);
}

TEST(GIFSubImage, ZeroSizeDescriptorTakesTheScreen) {
  TGIFImage source;
  FillColorMap(source.GlobalColorMap(), 2);
  AddPixelFrame(source, 3, 2, Bytes{1, 0, 1, 0, 1, 0});
  Bytes data = SaveImage(source);
  data[13 + 6 + 5] = 0;  // descriptor width low byte
  TGIFImage image;
  WarningLog log;
  log.Attach(image);
  auto stream = MemoryOf(data);
  image.LoadFromStream(stream.get());
  EXPECT_EQ(image.Images()->SubImage(0)->Width(), 3);
  EXPECT_EQ(log.Messages, std::vector<std::string>{"Image exceeds Logical Screen size"});
}

TEST(GIFSubImage, InterlaceFlagOnSave) {
  TGIFImage image;
  FillColorMap(image.GlobalColorMap(), 4);
  TGIFSubImage* global = AddPixelFrame(image, 2, 3, Bytes{0, 1, 2, 3, 0, 1}, true);
  TGIFSubImage* local = AddPixelFrame(image, 2, 3, Bytes{1, 1, 0, 0, 1, 0}, true);
  FillColorMap(local->ColorMap(), 2);
  (void)SaveImage(image);
  EXPECT_TRUE(global->Interlaced());
  EXPECT_FALSE(local->Interlaced()) << "a frame with a local table is written non-interlaced";
}

TEST(GIFSubImage, TrimTransparentBorder) {
  TGIFImage image;
  FillColorMap(image.GlobalColorMap(), 4);
  TGIFSubImage* frame = AddPixelFrame(image, 4, 3, Bytes{3, 3, 3, 3, 3, 1, 2, 3, 3, 3, 3, 3});
  auto gce = std::make_unique<TGIFGraphicControlExtension>(frame);
  gce->SetTransparent(true);
  gce->SetTransparentColorIndex(3);
  frame->Extensions()->Add(std::move(gce));
  frame->TrimTransparentBorder();
  EXPECT_EQ(frame->BoundsRect(), Bounds(1, 1, 2, 1));
  EXPECT_EQ(FramePixels(frame), (Bytes{1, 2}));
  std::fill(frame->Pixels(), frame->Pixels() + 2, 3);
  frame->TrimTransparentBorder();
  EXPECT_TRUE(frame->IsEmpty());
}

TEST(GIFSubImage, MaskUnchangedPixels) {
  struct Case {
    const char* Name;
    int LocalColors;  // 0: global table of 4
    int PreviousDisposal;
    Bytes Expected;
    int TransparentIndex;  // -1: no graphic control extension
  };
  const Bytes previous{0, 1, 2, 3}, current{0, 2, 2, 1};
  for (const auto& c : std::vector<Case>{{"global", 0, 0, {4, 2, 4, 1}, 4},
                                         {"disposal 2", 0, 2, current, -1},
                                         {"full local table", 256, 0, current, -1},
                                         {"local of 17", 17, 0, {17, 2, 17, 1}, 17}}) {
    TGIFImage image;
    FillColorMap(image.GlobalColorMap(), 4);
    TGIFSubImage* first = AddPixelFrame(image, 4, 1, previous);
    if (c.PreviousDisposal) {
      auto gce = std::make_unique<TGIFGraphicControlExtension>(first);
      gce->SetDisposal(c.PreviousDisposal);
      first->Extensions()->Add(std::move(gce));
    }
    TGIFSubImage* second = AddPixelFrame(image, 4, 1, current);
    if (c.LocalColors) {
      // The local table repeats the global colours first, so equal indices show equal colours.
      for (int i = 0; i < c.LocalColors; ++i)
        second->ColorMap()->Add(i < 4 ? image.GlobalColorMap()->ColorAt(i)
                                      : static_cast<TColor>(0x100000 + i));
    }
    second->MaskUnchangedPixels(first);
    EXPECT_EQ(FramePixels(second), c.Expected) << c.Name;
    if (c.TransparentIndex < 0) {
      EXPECT_EQ(second->ControlExtension(), nullptr) << c.Name;
    } else {
      ASSERT_NE(second->ControlExtension(), nullptr) << c.Name;
      EXPECT_TRUE(second->Transparent());
      EXPECT_EQ(second->ControlExtension()->TransparentColorIndex(), c.TransparentIndex) << c.Name;
    }
  }
}

// Another frame's transparent index is shared only when this frame draws nothing with it.
TEST(GIFSubImage, MaskUnchangedPixelsSharesATransparentIndexOnlyWhenUnused) {
  for (bool usesIt : {false, true}) {
    TGIFImage image;
    FillColorMap(image.GlobalColorMap(), 8);
    TGIFSubImage* other = AddPixelFrame(image, 1, 1, Bytes{0});
    auto gce = std::make_unique<TGIFGraphicControlExtension>(other);
    gce->SetTransparent(true);
    gce->SetTransparentColorIndex(5);
    other->Extensions()->Add(std::move(gce));
    TGIFSubImage* first = AddPixelFrame(image, 3, 1, Bytes{1, 1, 2});
    TGIFSubImage* second = AddPixelFrame(image, 3, 1, Bytes{1, 3, static_cast<uint8_t>(usesIt ? 5 : 2)});
    second->MaskUnchangedPixels(first);
    const int index = second->ControlExtension()->TransparentColorIndex();
    EXPECT_EQ(index, usesIt ? 8 : 5);
    EXPECT_EQ(image.GlobalColorMap()->Count(), usesIt ? 9 : 8);
    EXPECT_EQ(second->Pixels()[0], index);
  }
}

TEST(GIFSubImage, AssignCopiesExtensionsAsOwnObjects) {
  auto source = std::make_unique<TGIFImage>();
  FillColorMap(source->GlobalColorMap(), 2);
  TGIFSubImage* frame = AddPixelFrame(*source, 2, 2, Bytes{0, 1, 1, 0});
  auto gce = std::make_unique<TGIFGraphicControlExtension>(frame);
  gce->SetTransparent(true);
  gce->SetTransparentColorIndex(1);
  frame->Extensions()->Add(std::move(gce));
  TGIFImage target;
  FillColorMap(target.GlobalColorMap(), 2);
  target.AddFrame(frame);  // a frame of another image is copied
  EXPECT_EQ(source->Images()->Count(), 1);
  source.reset();
  TGIFSubImage* copy = target.Images()->SubImage(0);
  ASSERT_NE(copy->ControlExtension(), nullptr);
  EXPECT_EQ(copy->ControlExtension()->SubImage(), copy);
  EXPECT_TRUE(copy->Transparent());
  EXPECT_EQ(FramePixels(copy), (Bytes{0, 1, 1, 0}));
  EXPECT_THROW(target.AddFrame(target.Header()), GIFException);
}

TEST(GIFImage, AssignFromAnotherImage) {
  TGIFImage source;
  FillColorMap(source.GlobalColorMap(), 4);
  AddPixelFrame(source, 3, 1, Bytes{1, 2, 3});
  source.SetAnimationSpeed(50);
  source.SetCompression(gcRLE);
  source.SetDrawOptions(0x0003);
  source.SetThreadPriority(TThreadPriority::tpLowest);
  TGIFImage target;
  target.Assign(&target);
  target.Assign(&source);
  EXPECT_EQ(SaveImage(target), SaveImage(source));
  EXPECT_EQ(target.AnimationSpeed(), 100);
  EXPECT_EQ(target.Compression(), gcLZW);
  EXPECT_EQ(target.DrawOptions(), 0x0003);
  EXPECT_EQ(target.ThreadPriority(), TThreadPriority::tpLowest);
  // A frame assigned from an empty picture is cleared.
  TPicture empty;
  target.Images()->SubImage(0)->Assign(&empty);
  EXPECT_TRUE(target.Images()->SubImage(0)->IsEmpty());
  EXPECT_TRUE(target.Equals(&target));
  EXPECT_FALSE(target.Equals(&source));
  target.Assign(nullptr);
  EXPECT_TRUE(target.Empty());
}

TEST(GIFColorMap, PalettesBothWays) {
  TGIFImage image;
  TGIFColorMap* map = image.GlobalColorMap();
  EXPECT_EQ(map->CreatePaletteHandle(), nullptr);
  for (TColor c : {0x0000FF, 0x00FF00, 0x123456})
    map->Add(c);
  HPALETTE palette = map->CreatePaletteHandle();
  ASSERT_NE(palette, nullptr);
  PALETTEENTRY entries[3];
  ASSERT_EQ(GetPaletteEntries(palette, 0, 3, entries), 3u);
  EXPECT_EQ(entries[2].peRed, 0x56);
  EXPECT_EQ(entries[2].peBlue, 0x12);
  EXPECT_EQ(entries[0].peFlags, PC_NOCOLLAPSE);
  TGIFImage other;
  other.GlobalColorMap()->LoadFromPalette(palette);
  EXPECT_EQ(other.GlobalColorMap()->Count(), 3);
  EXPECT_EQ(other.GlobalColorMap()->ColorAt(2), 0x123456);
  DeleteObject(palette);
  const uint8_t table[8] = {1, 2, 3, 0, 4, 5, 6, 0};  // blue, green, red, reserved
  other.GlobalColorMap()->LoadFromColorTable(table, 2);
  EXPECT_EQ(other.GlobalColorMap()->ColorAt(1), 0x040506);
  EXPECT_THROW(CheckGDIHandle(nullptr), EOutOfResources);
}

TEST(GIFImage, PaletteQuery) {
  TGIFImage image;
  image.SetDrawOptions(0);  // no dithering
  EXPECT_EQ(image.Palette(), nullptr) << "no colour table and no frame";
  AddPixelFrame(image, 1, 1, Bytes{0});
  EXPECT_THROW((void)image.Palette(), GIFException) << "No global or local color table defined";
  image.Images()->SubImage(0)->ColorMap()->Add(0x00FF00);
  HPALETTE framePalette = image.Palette();
  EXPECT_EQ(framePalette, image.Images()->SubImage(0)->Palette()) << "the first frame's palette";
  image.GlobalColorMap()->Add(0x0000FF);
  HPALETTE global = image.Palette();
  PALETTEENTRY entry;
  ASSERT_EQ(GetPaletteEntries(global, 0, 1, &entry), 1u);
  EXPECT_EQ(entry.peRed, 0xFF);
  image.SetDrawOptions(goDither);
  image.SetPalette(nullptr);
  EXPECT_EQ(GetPaletteEntries(image.Palette(), 0, 0, nullptr), 216u);
}
