// Basic value types shared by every layer: integers of fixed width, points, rectangles, sizes,
// and a small bit-set template for the class library's set types.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <type_traits>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using LONG = int32_t;
using BOOL = int32_t;
using Cardinal = uint32_t;

struct TPoint {
  int X = 0;
  int Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
  int cx = 0;
  int cy = 0;
  friend bool operator==(const TSize&, const TSize&) = default;
};

// A rectangle with exclusive right and bottom edges.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  [[nodiscard]] int Width() const { return Right - Left; }
  [[nodiscard]] int Height() const { return Bottom - Top; }
  friend bool operator==(const TRect&, const TRect&) = default;
};

[[nodiscard]] inline TPoint Point(int x, int y) {
  return {x, y};
}
[[nodiscard]] inline TRect Rect(int left, int top, int right, int bottom) {
  return {left, top, right, bottom};
}
[[nodiscard]] inline TRect Bounds(int left, int top, int width, int height) {
  return {left, top, left + width, top + height};
}
// A place along one axis of an area that spans Lo to Hi, for something Extent long: kept where any of
// it lies in the area; otherwise as near as it lies, wholly inside where it fits.
[[nodiscard]] inline int InReach(int Place, int Extent, int Lo, int Hi) {
  if (Place < Hi && Place + Extent > Lo) return Place;
  return std::clamp(Place, Lo, std::max(Lo, Hi - Extent));
}
// A rectangle moved, by that rule along each axis, so that some of it lies in Area; its size stays.
[[nodiscard]] inline TRect InReach(const TRect& R, const TRect& Area) {
  return Bounds(InReach(R.Left, R.Width(), Area.Left, Area.Right),
                InReach(R.Top, R.Height(), Area.Top, Area.Bottom), R.Width(), R.Height());
}

// A set of enumeration values (the class library's `set of`), stored as bits.
template <typename E>
class TSet {
  static_assert(std::is_enum_v<E>);
  using Bits = uint64_t;

 public:
  constexpr TSet() = default;
  constexpr TSet(E e) : bits_(bit(e)) {}
  constexpr TSet(std::initializer_list<E> list) {
    for (E e : list)
      bits_ |= bit(e);
  }
  [[nodiscard]] constexpr bool Contains(E e) const { return (bits_ & bit(e)) != 0; }
  [[nodiscard]] constexpr bool Empty() const { return bits_ == 0; }
  constexpr TSet& Include(E e) {
    bits_ |= bit(e);
    return *this;
  }
  constexpr TSet& Exclude(E e) {
    bits_ &= ~bit(e);
    return *this;
  }
  constexpr TSet operator|(TSet o) const { return FromBits(bits_ | o.bits_); }
  constexpr TSet operator&(TSet o) const { return FromBits(bits_ & o.bits_); }
  constexpr TSet operator-(TSet o) const { return FromBits(bits_ & ~o.bits_); }
  constexpr TSet& operator|=(TSet o) { return *this = *this | o; }
  constexpr TSet& operator&=(TSet o) { return *this = *this & o; }
  constexpr TSet& operator-=(TSet o) { return *this = *this - o; }
  friend constexpr bool operator==(TSet, TSet) = default;
  [[nodiscard]] constexpr Bits ToBits() const { return bits_; }
  static constexpr TSet FromBits(Bits b) {
    TSet s;
    s.bits_ = b;
    return s;
  }

 private:
  static constexpr Bits bit(E e) { return Bits{1} << static_cast<unsigned>(e); }
  Bits bits_ = 0;
};
