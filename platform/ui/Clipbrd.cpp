#include "platform/ui/Clipbrd.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMimeData>

#include <cstring>
#include <map>
#include <memory>
#include <unordered_map>

#include "platform/gdi/GdiPrivate.h"
#include "platform/ui/Forms.h"

namespace {

struct TGlobalBlock {
  std::vector<uint8_t> Bytes;
  int Locks = 0;
};
std::unordered_map<HGLOBAL, std::unique_ptr<TGlobalBlock>> gBlocks;

std::map<std::string, UINT> gFormats;

TGlobalBlock* BlockOf(HGLOBAL Mem) {
  auto it = gBlocks.find(Mem);
  return it == gBlocks.end() ? nullptr : it->second.get();
}

std::string FormatName(UINT Format) {
  for (const auto& [name, id] : gFormats)
    if (id == Format) return name;
  return {};
}

QString MimeOf(UINT Format) {
  return QString("application/x-pelloran-clipboard-") +
         QString::fromStdString(FormatName(Format)).toUtf8().toHex();
}

QClipboard* Board() {
  TApplicationRef::Get();
  return QGuiApplication::clipboard();
}

// The data being put on the clipboard between Open and Close.
std::unique_ptr<QMimeData> gPending;

}  // namespace

HGLOBAL GlobalAlloc(UINT /*Flags*/, size_t Bytes) {
  auto block = std::make_unique<TGlobalBlock>();
  block->Bytes.assign(Bytes, 0);
  HGLOBAL h = block.get();
  gBlocks.emplace(h, std::move(block));
  return h;
}

void* GlobalLock(HGLOBAL Mem) {
  TGlobalBlock* b = BlockOf(Mem);
  if (b == nullptr) return nullptr;
  ++b->Locks;
  return b->Bytes.empty() ? static_cast<void*>(b) : b->Bytes.data();
}

bool GlobalUnlock(HGLOBAL Mem) {
  TGlobalBlock* b = BlockOf(Mem);
  if (b == nullptr || b->Locks == 0) return false;
  return --b->Locks > 0;
}

size_t GlobalSize(HGLOBAL Mem) {
  TGlobalBlock* b = BlockOf(Mem);
  return b == nullptr ? 0 : b->Bytes.size();
}

HGLOBAL GlobalFree(HGLOBAL Mem) {
  if (gBlocks.erase(Mem) == 0) return Mem;
  return nullptr;
}

UINT RegisterClipboardFormat(const std::string& Name) {
  auto it = gFormats.find(Name);
  if (it != gFormats.end()) return it->second;
  const UINT id = 0xC000 + static_cast<UINT>(gFormats.size());
  gFormats.emplace(Name, id);
  return id;
}

void TClipboard::Open() {
  if (FOpenCount++ == 0) FEmptied = false;
}

void TClipboard::Close() {
  if (FOpenCount == 0) return;
  if (--FOpenCount == 0 && gPending != nullptr) Board()->setMimeData(gPending.release());
}

void TClipboard::Adding() {
  if (FOpenCount > 0 && !FEmptied) {
    FEmptied = true;
    gPending = std::make_unique<QMimeData>();
  }
}

void TClipboard::Clear() {
  Open();
  Adding();
  Close();
}

bool TClipboard::HasFormat(UINT Format) const {
  const QMimeData* m = Board()->mimeData();
  if (m == nullptr) return false;
  switch (Format) {
    case CF_TEXT:
      return m->hasText();
    case CF_BITMAP:
    case CF_DIB:
      return m->hasImage();
    default:
      return !FormatName(Format).empty() && m->hasFormat(MimeOf(Format));
  }
}

int TClipboard::FormatCount() const {
  const QMimeData* m = Board()->mimeData();
  return m == nullptr ? 0 : static_cast<int>(m->formats().size());
}

std::string TClipboard::AsText() const {
  const QMimeData* m = Board()->mimeData();
  return m != nullptr && m->hasText() ? m->text().toStdString() : std::string();
}

void TClipboard::SetAsText(const std::string& Value) {
  Open();
  Adding();
  gPending->setText(QString::fromStdString(Value));
  Close();
}

HANDLE TClipboard::GetAsHandle(UINT Format) {
  const QMimeData* m = Board()->mimeData();
  if (m == nullptr) return nullptr;
  if (Format == CF_BITMAP) {
    if (!m->hasImage()) return nullptr;
    const QImage img = qvariant_cast<QImage>(m->imageData());
    return img.isNull() ? nullptr : BitmapFromQImage(img);
  }
  if (!HasFormat(Format)) return nullptr;
  const QByteArray bytes = m->data(MimeOf(Format));
  if (FLastHandle != nullptr) GlobalFree(FLastHandle);
  FLastHandle = GlobalAlloc(GMEM_MOVEABLE, static_cast<size_t>(bytes.size()));
  if (!bytes.isEmpty())
    std::memcpy(GlobalLock(FLastHandle), bytes.constData(), static_cast<size_t>(bytes.size()));
  GlobalUnlock(FLastHandle);
  return FLastHandle;
}

void TClipboard::SetAsHandle(UINT Format, HANDLE Value) {
  Open();
  Adding();
  if (Format == CF_BITMAP) {
    const QImage img = BitmapToQImage(static_cast<HBITMAP>(Value));
    gPending->setImageData(img.convertToFormat(QImage::Format_RGB32));
    DeleteObject(static_cast<HBITMAP>(Value));
  } else if (TGlobalBlock* b = BlockOf(Value)) {
    if (FormatName(Format).empty()) RegisterClipboardFormat("#" + std::to_string(Format));
    gPending->setData(MimeOf(Format), QByteArray(reinterpret_cast<const char*>(b->Bytes.data()),
                                                 static_cast<qsizetype>(b->Bytes.size())));
    GlobalFree(Value);
  }
  Close();
}

std::vector<uint8_t> TClipboard::GetData(UINT Format) const {
  const QMimeData* m = Board()->mimeData();
  if (m == nullptr || !HasFormat(Format)) return {};
  const QByteArray bytes = m->data(MimeOf(Format));
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

void TClipboard::SetData(UINT Format, const std::vector<uint8_t>& Data) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, Data.size());
  if (!Data.empty()) std::memcpy(GlobalLock(h), Data.data(), Data.size());
  GlobalUnlock(h);
  SetAsHandle(Format, h);
}

void TClipboard::Assign(TPersistent* Source) {
  TBitmap* bmp = dynamic_cast<TBitmap*>(Source);
  if (auto* pic = dynamic_cast<TPicture*>(Source); pic != nullptr && pic->Graphic() != nullptr) {
    bmp = dynamic_cast<TBitmap*>(pic->Graphic());
    if (bmp == nullptr) {
      // Another kind of picture goes through a bitmap of its size.
      TBitmap tmp;
      tmp.SetSize(pic->Width(), pic->Height());
      tmp.Canvas()->Draw(0, 0, pic->Graphic());
      SetAsHandle(CF_BITMAP, BitmapFromQImage(BitmapToQImage(tmp.Handle())));
      return;
    }
  }
  if (bmp != nullptr) {
    SetAsHandle(CF_BITMAP, BitmapFromQImage(BitmapToQImage(bmp->Handle())));
    return;
  }
  TPersistent::Assign(Source);
}

void TClipboard::AssignTo(TPersistent* Dest) {
  TBitmap* bmp = dynamic_cast<TBitmap*>(Dest);
  if (auto* pic = dynamic_cast<TPicture*>(Dest)) bmp = pic->Bitmap();
  if (bmp == nullptr) {
    TPersistent::AssignTo(Dest);
    return;
  }
  HBITMAP h = static_cast<HBITMAP>(GetAsHandle(CF_BITMAP));
  if (h == nullptr) throw EInvalidGraphic("Format der Zwischenablage wird nicht unterstützt");
  bmp->SetHandle(h);
}

TClipboard* Clipboard() {
  static TClipboard* clipboard = new TClipboard();
  return clipboard;
}
