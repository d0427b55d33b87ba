// The clipboard: text, bitmaps and formats registered by name, with the system's global memory blocks
// for the data of registered formats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi/Graphics.h"
#include "platform/rtl/Classes.h"

using HANDLE = void*;
using HGLOBAL = HANDLE;

inline constexpr UINT CF_TEXT = 1;
inline constexpr UINT CF_BITMAP = 2;
inline constexpr UINT CF_DIB = 8;
inline constexpr UINT CF_PALETTE = 9;

inline constexpr UINT GMEM_FIXED = 0x0000;
inline constexpr UINT GMEM_MOVEABLE = 0x0002;
inline constexpr UINT GMEM_ZEROINIT = 0x0040;
inline constexpr UINT GMEM_DDESHARE = 0x2000;
inline constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

// A block of memory behind a handle. Blocks are zero-filled; a freed or unknown handle is refused.
[[nodiscard]] HGLOBAL GlobalAlloc(UINT Flags, size_t Bytes);
[[nodiscard]] void* GlobalLock(HGLOBAL Mem);
bool GlobalUnlock(HGLOBAL Mem);
[[nodiscard]] size_t GlobalSize(HGLOBAL Mem);
// Returns null on success, the handle when it was not a live block.
HGLOBAL GlobalFree(HGLOBAL Mem);

// A clipboard format for a name (the same name gives the same number); numbers start at 0xC000.
UINT RegisterClipboardFormat(const std::string& Name);
inline UINT RegisterClipboardFormatA(const std::string& Name) {
  return RegisterClipboardFormat(Name);
}

class TClipboard : public TPersistent {
 public:
  // Between Open and Close, the first data put on the clipboard empties it; outside, each put does.
  void Open();
  void Close();
  void Clear();
  [[nodiscard]] bool HasFormat(UINT Format) const;
  [[nodiscard]] int FormatCount() const;

  [[nodiscard]] std::string AsText() const;
  void SetAsText(const std::string& Value);
  // For CF_BITMAP an HBITMAP (a new one, owned by the caller); for registered formats a global block
  // owned by the clipboard (valid until the clipboard changes); null when the format is not there.
  [[nodiscard]] HANDLE GetAsHandle(UINT Format);
  // Takes the handle over: an HBITMAP for CF_BITMAP, a global block for registered formats.
  void SetAsHandle(UINT Format, HANDLE Value);
  // The bytes of a registered format (empty when absent); putting bytes is SetAsHandle with a block.
  [[nodiscard]] std::vector<uint8_t> GetData(UINT Format) const;
  void SetData(UINT Format, const std::vector<uint8_t>& Data);

  // Puts a bitmap or a picture holding a bitmap on the clipboard.
  void Assign(TPersistent* Source) override;

 protected:
  // Fills a TPicture or TBitmap from the clipboard's bitmap.
  void AssignTo(TPersistent* Dest) override;
  std::string ClassName() const override { return "TClipboard"; }

 private:
  void Adding();
  int FOpenCount = 0;
  bool FEmptied = false;
  HGLOBAL FLastHandle = nullptr;
};

// The process-wide clipboard object.
[[nodiscard]] TClipboard* Clipboard();
