// GIF89a extension blocks ("!" + label + data) as objects of their own, and the two registries that map a
// label, and for application extensions an identifier, to the class that reads the block.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gif/GIFCore.h"
#include "platform/rtl/Lists.h"

class TGIFExtension;
struct TGIFExtensionClass;

// Given the stream right after an extension's label, the class that must read the block.
using TGIFResolveProc = const TGIFExtensionClass* (*)(const TGIFExtensionClass* Self, TStream* Stream);

// What the class library keeps as a class reference: the class's name, its constructor and its
// class-level resolution step.
struct TGIFExtensionClass {
  const char* ClassName;
  std::unique_ptr<TGIFExtension> (*Create)(TGIFSubImage* SubImage);
  TGIFResolveProc Resolve;
};

inline constexpr uint8_t bsExtensionIntroducer = 0x21;  // '!'
inline constexpr uint8_t bsImageDescriptor = 0x2C;      // ','
inline constexpr uint8_t bsTrailer = 0x3B;              // ';'

// Base of every extension; it belongs to one frame, whose image is its owner image.
class TGIFExtension : public TGIFItem {
 public:
  explicit TGIFExtension(TGIFSubImage* SubImage);
  // Leaves the frame's extension list.
  ~TGIFExtension() override;

  [[nodiscard]] int RequiredVersion() const override { return 2; }
  [[nodiscard]] virtual uint8_t Label() const = 0;
  [[nodiscard]] virtual const TGIFExtensionClass* Class() const = 0;
  void SaveToStream(TStream* Stream) override;
  void LoadFromStream(TStream* Stream) override;
  [[nodiscard]] TGIFSubImage* SubImage() const { return FSubImage; }

 protected:
  TGIFSubImage* FSubImage;
};

// Looks up the class that reads the extension at the stream's position (just after "!"); nil when the
// label is unknown or cannot be read. The stream position is unchanged afterwards.
[[nodiscard]] const TGIFExtensionClass* FindExtensionClass(TStream* Stream);

// Graphic control extension (label 0xF9): transparency, delay, user input and disposal of a frame.
class TGIFGraphicControlExtension final : public TGIFExtension {
 public:
  explicit TGIFGraphicControlExtension(TGIFSubImage* SubImage);
  ~TGIFGraphicControlExtension() override;
  static const TGIFExtensionClass* StaticClass();
  [[nodiscard]] const TGIFExtensionClass* Class() const override { return StaticClass(); }
  [[nodiscard]] uint8_t Label() const override { return 0xF9; }
  void SaveToStream(TStream* Stream) override;
  void LoadFromStream(TStream* Stream) override;

  [[nodiscard]] bool Transparent() const { return (FPackedFields & 0x01) != 0; }
  void SetTransparent(bool Value);
  [[nodiscard]] int TransparentColorIndex() const { return FTransparentColorIndex; }
  // Warns "Invalid color index" (and stores 0) for an index outside the frame's active colour table.
  void SetTransparentColorIndex(int Value);
  // Stores the index without the range check (used when the colour table is being renumbered).
  void SetTransparentColorIndexRaw(int Value);
  [[nodiscard]] int Delay() const { return FDelay; }
  void SetDelay(int Value) { FDelay = static_cast<uint16_t>(Value); }
  [[nodiscard]] bool UserInput() const { return (FPackedFields & 0x02) != 0; }
  [[nodiscard]] int Disposal() const { return (FPackedFields >> 2) & 0x07; }
  void SetDisposal(int Value);

 private:
  bool IsControlling() const;
  uint8_t FBlockSize = 4;
  uint8_t FPackedFields = 0;
  uint16_t FDelay = 0;
  uint8_t FTransparentColorIndex = 0;
  uint8_t FTerminator = 0;
};

// Plain text extension (label 0x01).
class TGIFTextExtension final : public TGIFExtension {
 public:
  explicit TGIFTextExtension(TGIFSubImage* SubImage) : TGIFExtension(SubImage) {}
  static const TGIFExtensionClass* StaticClass();
  [[nodiscard]] const TGIFExtensionClass* Class() const override { return StaticClass(); }
  [[nodiscard]] uint8_t Label() const override { return 0x01; }
  void SaveToStream(TStream* Stream) override;
  void LoadFromStream(TStream* Stream) override;

  [[nodiscard]] TStringList* Text() { return &FText; }
  uint8_t BlockSize = 12;
  uint16_t GridLeft = 0;
  uint16_t GridTop = 0;
  uint16_t GridWidth = 0;
  uint16_t GridHeight = 0;
  uint8_t CellWidth = 0;
  uint8_t CellHeight = 0;
  uint8_t TextFGColorIndex = 0;
  uint8_t TextBGColorIndex = 0;

 private:
  TStringList FText;
};

// Comment extension (label 0xFE).
class TGIFCommentExtension final : public TGIFExtension {
 public:
  explicit TGIFCommentExtension(TGIFSubImage* SubImage) : TGIFExtension(SubImage) {}
  static const TGIFExtensionClass* StaticClass();
  [[nodiscard]] const TGIFExtensionClass* Class() const override { return StaticClass(); }
  [[nodiscard]] uint8_t Label() const override { return 0xFE; }
  void SaveToStream(TStream* Stream) override;
  void LoadFromStream(TStream* Stream) override;
  [[nodiscard]] TStringList* Text() { return &FText; }

 private:
  TStringList FText;
};

// 8-byte identifier followed by the 3-byte authentication code.
using TGIFApplicationID = std::array<uint8_t, 11>;
[[nodiscard]] TGIFApplicationID ApplicationID(const char (&Text)[12]);

// Application extension (label 0xFF): identification, then data the concrete class reads.
class TGIFApplicationExtension : public TGIFExtension {
 public:
  explicit TGIFApplicationExtension(TGIFSubImage* SubImage) : TGIFExtension(SubImage) {}
  static const TGIFExtensionClass* StaticClass();
  [[nodiscard]] const TGIFExtensionClass* Class() const override { return StaticClass(); }
  [[nodiscard]] uint8_t Label() const override { return 0xFF; }
  void SaveToStream(TStream* Stream) override;
  void LoadFromStream(TStream* Stream) override;
  TGIFApplicationID Identification{};

 protected:
  // Sub-blocks after the identification. The generic class knows no data: it writes only the
  // terminator and refuses to read.
  virtual void SaveData(TStream* Stream);
  virtual void LoadData(TStream* Stream);
};

// One data sub-block kept as it was read.
class TGIFBlock final : public TObject {
 public:
  explicit TGIFBlock(int Size) : FData(static_cast<size_t>(Size), 0) {}
  [[nodiscard]] int Size() const { return static_cast<int>(FData.size()); }
  [[nodiscard]] uint8_t* Data() { return FData.data(); }
  void SaveToStream(TStream* Stream) const;
  void LoadFromStream(TStream* Stream);

 private:
  std::vector<uint8_t> FData;
};

// An application extension of an identifier nobody registered: its sub-blocks are kept and written back.
class TGIFUnknownAppExtension final : public TGIFApplicationExtension {
 public:
  explicit TGIFUnknownAppExtension(TGIFSubImage* SubImage) : TGIFApplicationExtension(SubImage) {}
  static const TGIFExtensionClass* StaticClass();
  [[nodiscard]] const TGIFExtensionClass* Class() const override { return StaticClass(); }
  [[nodiscard]] int BlockCount() const { return static_cast<int>(FBlocks.size()); }
  [[nodiscard]] TGIFBlock* Blocks(int Index) const { return FBlocks.at(static_cast<size_t>(Index)).get(); }

 protected:
  void SaveData(TStream* Stream) override;
  void LoadData(TStream* Stream) override;

 private:
  std::vector<std::unique_ptr<TGIFBlock>> FBlocks;
};

// The looping extension ("NETSCAPE2.0", also read for "ANIMEXTS1.0"): loop count 0 loops forever.
class TGIFAppExtNSLoop final : public TGIFApplicationExtension {
 public:
  explicit TGIFAppExtNSLoop(TGIFSubImage* SubImage);
  static const TGIFExtensionClass* StaticClass();
  [[nodiscard]] const TGIFExtensionClass* Class() const override { return StaticClass(); }
  [[nodiscard]] int Loops() const { return FLoops; }
  void SetLoops(int Value) { FLoops = static_cast<uint16_t>(Value); }
  [[nodiscard]] uint32_t BufferSize() const { return FBufferSize; }
  void SetBufferSize(uint32_t Value) { FBufferSize = Value; }

 protected:
  void SaveData(TStream* Stream) override;
  void LoadData(TStream* Stream) override;

 private:
  uint16_t FLoops = 0;
  uint32_t FBufferSize = 0;
};

// The extension-class registry: label -> class, searched from the last registration to the first.
class TExtensionList final : public TObject {
 public:
  TExtensionList();
  void Register(uint8_t Label, const TGIFExtensionClass* Class);
  [[nodiscard]] const TGIFExtensionClass* Find(uint8_t Label) const;

 private:
  std::vector<std::pair<uint8_t, const TGIFExtensionClass*>> FEntries;
};

// The application-extension registry: identification (all 11 bytes) -> class, last registration first.
class TAppExtensionList final : public TObject {
 public:
  TAppExtensionList();
  void Register(const TGIFApplicationID& Identification, const TGIFExtensionClass* Class);
  [[nodiscard]] const TGIFExtensionClass* Find(const TGIFApplicationID& Identification) const;

 private:
  std::vector<std::pair<TGIFApplicationID, const TGIFExtensionClass*>> FEntries;
};

// The single instances, created on first use.
[[nodiscard]] TExtensionList& ExtensionRegistry();
[[nodiscard]] TAppExtensionList& AppExtensionRegistry();

// The extensions in front of one frame's image descriptor; the list owns them.
class TGIFExtensionList final : public TGIFList {
 public:
  using TGIFList::TGIFList;
  // Reads extension blocks until "," or ";" (or a byte that introduces neither), which stays unread.
  void LoadFromStream(TStream* Stream, TGIFSubImage* SubImage);
  [[nodiscard]] TGIFExtension* Extensions(int Index) const;

 protected:
  [[nodiscard]] std::string ClassName() const override { return "TGIFExtensionList"; }
};
