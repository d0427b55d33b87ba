#include "gif/GIFExtensions.h"

#include <algorithm>
#include <cstring>

#include "gif/GIFImage.h"
#include "gif/GIFSubImage.h"

namespace {

template <typename T>
std::unique_ptr<TGIFExtension> CreateExtension(TGIFSubImage* SubImage) {
  return std::make_unique<T>(SubImage);
}

const TGIFExtensionClass* ResolveSelf(const TGIFExtensionClass* Self, TStream*) {
  return Self;
}

// Shared by the application extension classes: the identification decides the class.
const TGIFExtensionClass* ResolveApplication(const TGIFExtensionClass* Self, TStream* Stream) {
  const int64_t start = Stream->Position();
  uint8_t size = 0;
  if (!TryReadByte(Stream, size)) return nullptr;
  if (size == 10) {
    uint8_t id[10];
    return Stream->Read(id, 10) == 10 ? TGIFUnknownAppExtension::StaticClass() : nullptr;
  }
  if (size == 11) {
    TGIFApplicationID id{};
    if (Stream->Read(id.data(), 11) == 11) {
      const TGIFExtensionClass* found = AppExtensionRegistry().Find(id);
      return found ? found : TGIFUnknownAppExtension::StaticClass();
    }
  }
  Stream->SetPosition(start);
  return Self;
}

void SkipBytes(TStream* Stream, int64_t Count) {
  if (Count <= 0) return;
  Stream->Seek(std::min(Count, BytesLeft(Stream)), soFromCurrent);
}

}  // namespace

// --- TGIFExtension ---

TGIFExtension::TGIFExtension(TGIFSubImage* SubImage)
    : TGIFItem(SubImage ? SubImage->OwnerImage() : nullptr), FSubImage(SubImage) {}

TGIFExtension::~TGIFExtension() {
  if (FSubImage) FSubImage->Extensions()->Remove(this);
}

void TGIFExtension::SaveToStream(TStream* Stream) {
  PutByte(Stream, bsExtensionIntroducer);
  PutByte(Stream, Label());
}

void TGIFExtension::LoadFromStream(TStream* Stream) {
  uint8_t header[2];
  ReadExactly(Stream, header, 2);
  if (header[0] != bsExtensionIntroducer) RaiseGIFError("Invalid extension introducer");
  if (header[1] != Label())
    RaiseGIFError("Internal error: Extension Instance does not match Extension Label");
}

const TGIFExtensionClass* FindExtensionClass(TStream* Stream) {
  const int64_t start = Stream->Position();
  uint8_t label = 0;
  if (!TryReadByte(Stream, label)) return nullptr;
  const TGIFExtensionClass* found = ExtensionRegistry().Find(label);
  // Each class resolves against the data right after the label; a chain longer than a few steps would
  // mean classes that keep handing the block to each other.
  for (int step = 0; found && step < 8; ++step) {
    Stream->SetPosition(start + 1);
    const TGIFExtensionClass* next = found->Resolve(found, Stream);
    if (next == found) break;
    found = next;
  }
  Stream->SetPosition(start);
  return found;
}

// --- TGIFGraphicControlExtension ---

TGIFGraphicControlExtension::TGIFGraphicControlExtension(TGIFSubImage* SubImage) : TGIFExtension(SubImage) {
  if (FSubImage && !FSubImage->ControlExtension()) FSubImage->SetControlExtension(this);
}

TGIFGraphicControlExtension::~TGIFGraphicControlExtension() {
  if (FSubImage && FSubImage->ControlExtension() == this) {
    FSubImage->SetTransparentFlag(false);
    FSubImage->SetControlExtension(nullptr);
  }
}

const TGIFExtensionClass* TGIFGraphicControlExtension::StaticClass() {
  static const TGIFExtensionClass cls{"TGIFGraphicControlExtension",
                                      CreateExtension<TGIFGraphicControlExtension>, ResolveSelf};
  return &cls;
}

bool TGIFGraphicControlExtension::IsControlling() const {
  return FSubImage && FSubImage->ControlExtension() == this;
}

void TGIFGraphicControlExtension::SaveToStream(TStream* Stream) {
  TGIFExtension::SaveToStream(Stream);
  const uint8_t bytes[6] = {FBlockSize,
                            FPackedFields,
                            static_cast<uint8_t>(FDelay & 0xFF),
                            static_cast<uint8_t>(FDelay >> 8),
                            FTransparentColorIndex,
                            FTerminator};
  Stream->WriteBuffer(bytes, 6);
}

void TGIFGraphicControlExtension::LoadFromStream(TStream* Stream) {
  TGIFExtension::LoadFromStream(Stream);
  uint8_t bytes[6] = {FBlockSize,
                      FPackedFields,
                      static_cast<uint8_t>(FDelay & 0xFF),
                      static_cast<uint8_t>(FDelay >> 8),
                      FTransparentColorIndex,
                      FTerminator};
  if (Stream->Read(bytes, 6) < 6) ReportWarning(1, "Premature end of data");
  FBlockSize = bytes[0];
  FPackedFields = bytes[1];
  FDelay = static_cast<uint16_t>(bytes[2] | (bytes[3] << 8));
  FTransparentColorIndex = bytes[4];
  FTerminator = bytes[5];
  // The extension nearest to the image controls it.
  if (FSubImage) {
    FSubImage->SetControlExtension(this);
    FSubImage->SetTransparentFlag(Transparent());
  }
}

void TGIFGraphicControlExtension::SetTransparent(bool Value) {
  if (Value)
    FPackedFields |= 0x01;
  else
    FPackedFields &= ~0x01;
  if (IsControlling()) FSubImage->SetTransparentFlag(Value);
}

void TGIFGraphicControlExtension::SetTransparentColorIndex(int Value) {
  if (FSubImage) {
    const TGIFColorMap* map = FSubImage->ActiveColorTable();
    if (map->Count() > 0 && (Value < 0 || Value >= map->Count())) {
      ReportWarning(1, "Invalid color index");
      Value = 0;
    }
  }
  SetTransparentColorIndexRaw(Value);
}

void TGIFGraphicControlExtension::SetTransparentColorIndexRaw(int Value) {
  FTransparentColorIndex = static_cast<uint8_t>(Value);
  if (IsControlling()) FSubImage->ReleaseMask();
}

void TGIFGraphicControlExtension::SetDisposal(int Value) {
  FPackedFields = static_cast<uint8_t>((FPackedFields & ~0x1C) | ((Value & 0x07) << 2));
}

// --- TGIFTextExtension, TGIFCommentExtension ---

const TGIFExtensionClass* TGIFTextExtension::StaticClass() {
  static const TGIFExtensionClass cls{"TGIFTextExtension", CreateExtension<TGIFTextExtension>, ResolveSelf};
  return &cls;
}

void TGIFTextExtension::SaveToStream(TStream* Stream) {
  TGIFExtension::SaveToStream(Stream);
  const uint8_t bytes[13] = {BlockSize,
                             static_cast<uint8_t>(GridLeft & 0xFF),
                             static_cast<uint8_t>(GridLeft >> 8),
                             static_cast<uint8_t>(GridTop & 0xFF),
                             static_cast<uint8_t>(GridTop >> 8),
                             static_cast<uint8_t>(GridWidth & 0xFF),
                             static_cast<uint8_t>(GridWidth >> 8),
                             static_cast<uint8_t>(GridHeight & 0xFF),
                             static_cast<uint8_t>(GridHeight >> 8),
                             CellWidth,
                             CellHeight,
                             TextFGColorIndex,
                             TextBGColorIndex};
  Stream->WriteBuffer(bytes, 13);
  StringsToSubBlocks(Stream, &FText);
}

void TGIFTextExtension::LoadFromStream(TStream* Stream) {
  TGIFExtension::LoadFromStream(Stream);
  uint8_t b[13];
  ReadExactly(Stream, b, 13);
  BlockSize = b[0];
  GridLeft = static_cast<uint16_t>(b[1] | (b[2] << 8));
  GridTop = static_cast<uint16_t>(b[3] | (b[4] << 8));
  GridWidth = static_cast<uint16_t>(b[5] | (b[6] << 8));
  GridHeight = static_cast<uint16_t>(b[7] | (b[8] << 8));
  CellWidth = b[9];
  CellHeight = b[10];
  TextFGColorIndex = b[11];
  TextBGColorIndex = b[12];
  SubBlocksToStrings(Stream, &FText);
}

const TGIFExtensionClass* TGIFCommentExtension::StaticClass() {
  static const TGIFExtensionClass cls{"TGIFCommentExtension", CreateExtension<TGIFCommentExtension>,
                                      ResolveSelf};
  return &cls;
}

void TGIFCommentExtension::SaveToStream(TStream* Stream) {
  TGIFExtension::SaveToStream(Stream);
  StringsToSubBlocks(Stream, &FText);
}

void TGIFCommentExtension::LoadFromStream(TStream* Stream) {
  TGIFExtension::LoadFromStream(Stream);
  SubBlocksToStrings(Stream, &FText);
}

// --- Application extensions ---

TGIFApplicationID ApplicationID(const char (&Text)[12]) {
  TGIFApplicationID id{};
  std::memcpy(id.data(), Text, 11);
  return id;
}

const TGIFExtensionClass* TGIFApplicationExtension::StaticClass() {
  static const TGIFExtensionClass cls{"TGIFApplicationExtension", CreateExtension<TGIFApplicationExtension>,
                                      ResolveApplication};
  return &cls;
}

void TGIFApplicationExtension::SaveToStream(TStream* Stream) {
  TGIFExtension::SaveToStream(Stream);
  PutByte(Stream, 11);
  Stream->WriteBuffer(Identification.data(), 11);
  SaveData(Stream);
}

void TGIFApplicationExtension::LoadFromStream(TStream* Stream) {
  TGIFExtension::LoadFromStream(Stream);
  uint8_t size = 0;
  if (!TryReadByte(Stream, size)) RaiseGIFError("Premature end of data");
  if (size < 10) RaiseGIFError("Unsupported Application Extension block size");
  if (size == 10) Identification.fill(0);
  ReadExactly(Stream, Identification.data(), 11);
  if (size == 10)
    Stream->Seek(-1, soFromCurrent);
  else
    SkipBytes(Stream, size - 11);
  LoadData(Stream);
}

void TGIFApplicationExtension::SaveData(TStream* Stream) {
  PutByte(Stream, 0);
}

void TGIFApplicationExtension::LoadData(TStream*) {
  RaiseGIFError("Unsupported Application Extension block size");
}

void TGIFBlock::SaveToStream(TStream* Stream) const {
  PutByte(Stream, static_cast<uint8_t>(FData.size()));
  Stream->WriteBuffer(FData.data(), static_cast<int64_t>(FData.size()));
}

void TGIFBlock::LoadFromStream(TStream* Stream) {
  ReadExactly(Stream, FData.data(), Size());
}

const TGIFExtensionClass* TGIFUnknownAppExtension::StaticClass() {
  static const TGIFExtensionClass cls{"TGIFUnknownAppExtension", CreateExtension<TGIFUnknownAppExtension>,
                                      ResolveApplication};
  return &cls;
}

void TGIFUnknownAppExtension::SaveData(TStream* Stream) {
  for (const auto& block : FBlocks)
    block->SaveToStream(Stream);
  PutByte(Stream, 0);
}

void TGIFUnknownAppExtension::LoadData(TStream* Stream) {
  FBlocks.clear();
  uint8_t size = 0;
  while (TryReadByte(Stream, size) && size != 0) {
    auto block = std::make_unique<TGIFBlock>(size);
    block->LoadFromStream(Stream);
    FBlocks.push_back(std::move(block));
  }
}

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFSubImage* SubImage) : TGIFApplicationExtension(SubImage) {
  Identification = ApplicationID("NETSCAPE2.0");
}

const TGIFExtensionClass* TGIFAppExtNSLoop::StaticClass() {
  static const TGIFExtensionClass cls{"TGIFAppExtNSLoop", CreateExtension<TGIFAppExtNSLoop>,
                                      ResolveApplication};
  return &cls;
}

void TGIFAppExtNSLoop::SaveData(TStream* Stream) {
  const uint8_t loop[4] = {3, 1, static_cast<uint8_t>(FLoops & 0xFF), static_cast<uint8_t>(FLoops >> 8)};
  Stream->WriteBuffer(loop, 4);
  if (FBufferSize != 0) {
    const uint8_t buffer[6] = {5,
                               2,
                               static_cast<uint8_t>(FBufferSize & 0xFF),
                               static_cast<uint8_t>((FBufferSize >> 8) & 0xFF),
                               static_cast<uint8_t>((FBufferSize >> 16) & 0xFF),
                               static_cast<uint8_t>(FBufferSize >> 24)};
    Stream->WriteBuffer(buffer, 6);
  }
  PutByte(Stream, 0);
}

void TGIFAppExtNSLoop::LoadData(TStream* Stream) {
  uint8_t size = 0;
  while (TryReadByte(Stream, size) && size != 0) {
    uint8_t id = 0;
    ReadExactly(Stream, &id, 1);
    switch (id & 0x07) {
      case 1: {
        if (size < 3) RaiseGIFError("Invalid GIF data");
        uint8_t b[2];
        ReadExactly(Stream, b, 2);
        FLoops = static_cast<uint16_t>(b[0] | (b[1] << 8));
        SkipBytes(Stream, size - 3);
        break;
      }
      case 2: {
        if (size < 5) RaiseGIFError("Invalid GIF data");
        uint8_t b[4];
        ReadExactly(Stream, b, 4);
        FBufferSize = static_cast<uint32_t>(b[0] | (b[1] << 8) | (b[2] << 16)) | (uint32_t{b[3]} << 24);
        SkipBytes(Stream, size - 5);
        break;
      }
      default:
        SkipBytes(Stream, size - 1);
        break;
    }
  }
}

// --- Registries ---

TExtensionList::TExtensionList() {
  Register(0x01, TGIFTextExtension::StaticClass());
  Register(0xF9, TGIFGraphicControlExtension::StaticClass());
  Register(0xFE, TGIFCommentExtension::StaticClass());
  Register(0xFF, TGIFApplicationExtension::StaticClass());
}

void TExtensionList::Register(uint8_t Label, const TGIFExtensionClass* Class) {
  FEntries.emplace_back(Label, Class);
}

const TGIFExtensionClass* TExtensionList::Find(uint8_t Label) const {
  for (auto it = FEntries.rbegin(); it != FEntries.rend(); ++it)
    if (it->first == Label) return it->second;
  return nullptr;
}

TAppExtensionList::TAppExtensionList() {
  Register(ApplicationID("NETSCAPE2.0"), TGIFAppExtNSLoop::StaticClass());
  Register(ApplicationID("ANIMEXTS1.0"), TGIFAppExtNSLoop::StaticClass());
}

void TAppExtensionList::Register(const TGIFApplicationID& Identification, const TGIFExtensionClass* Class) {
  FEntries.emplace_back(Identification, Class);
}

const TGIFExtensionClass* TAppExtensionList::Find(const TGIFApplicationID& Identification) const {
  for (auto it = FEntries.rbegin(); it != FEntries.rend(); ++it)
    if (it->first == Identification) return it->second;
  return nullptr;
}

TExtensionList& ExtensionRegistry() {
  static TExtensionList registry;
  return registry;
}

TAppExtensionList& AppExtensionRegistry() {
  static TAppExtensionList registry;
  return registry;
}

// --- TGIFExtensionList ---

TGIFExtension* TGIFExtensionList::Extensions(int Index) const {
  return static_cast<TGIFExtension*>(Items(Index));
}

void TGIFExtensionList::LoadFromStream(TStream* Stream, TGIFSubImage* SubImage) {
  uint8_t b = 0;
  if (!TryReadByte(Stream, b)) return;
  while (b != bsImageDescriptor && b != bsTrailer) {
    if (b != bsExtensionIntroducer) {
      ReportWarning(1, "Invalid extension introducer");
      break;
    }
    const TGIFExtensionClass* cls = FindExtensionClass(Stream);
    if (!cls) RaiseGIFError("Unknown extension type");
    Stream->Seek(-1, soFromCurrent);
    std::unique_ptr<TGIFExtension> extension = cls->Create(SubImage);
    extension->LoadFromStream(Stream);
    Add(std::move(extension));
    if (!TryReadByte(Stream, b)) return;
  }
  Stream->Seek(-1, soFromCurrent);
}
