// Layers that take part in a back-buffered form's painting and mouse handling, and their collection.
// The system defines no concrete layer kind, so every form's collection stays empty; the collection still
// carries its full hit-test and capture logic for layers that a user of the library may add.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/ui/Controls.h"

class TBitmap32;
class TCanvas;
class TLayerCollection;
struct TFixedTransform;

// Option bits of a layer that the collection and the form read.
inline constexpr uint32_t LOB_VISIBLE = 0x80000000;       // painted by the default layers stage
inline constexpr uint32_t LOB_GDI_OVERLAY = 0x40000000;   // painted on the window's canvas after the copy
inline constexpr uint32_t LOB_MOUSE_EVENTS = 0x20000000;  // takes part in mouse hit tests
inline constexpr uint32_t LOB_NO_CAPTURE = 0x08000000;    // does not take the capture on a left press

// Buttons held on a layer: bit 0 left, bit 1 right, bit 2 middle.
inline constexpr uint32_t ButtonBit(TMouseButton Button) {
  return 1u << static_cast<unsigned>(Button);
}

using TLayerPaintEvent = std::function<void(TObject* Sender, TBitmap32* Buffer)>;

// A layer of a collection. The base kind hits nothing and paints nothing; kinds derived from it give it a
// face and a shape.
class TCustomLayer : public TPersistent {
 public:
  explicit TCustomLayer(TLayerCollection* ALayerCollection) : FLayerCollection(ALayerCollection) {}

  [[nodiscard]] TLayerCollection* LayerCollection() const { return FLayerCollection; }
  [[nodiscard]] uint32_t Options() const { return FOptions; }
  void SetOptions(uint32_t Value) { FOptions = Value; }
  // The buttons currently held on this layer.
  [[nodiscard]] uint32_t ButtonSet() const { return FButtonSet; }
  void SetButtonSet(uint32_t Value) { FButtonSet = Value; }

  [[nodiscard]] virtual bool HitTest(int X, int Y) { return false; }
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {}
  virtual void MouseMove(TShiftState Shift, int X, int Y) {}
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {}
  virtual void Paint(TBitmap32* Buffer) {}
  virtual void PaintOnCanvas(TCanvas* Canvas) {}
  // A new layer of the same kind in Collection (used when a collection is assigned).
  [[nodiscard]] virtual std::unique_ptr<TCustomLayer> CreateSame(TLayerCollection* Collection) const {
    return std::make_unique<TCustomLayer>(Collection);
  }

  void Assign(TPersistent* Source) override;

  TLayerPaintEvent OnPaint;

 private:
  TLayerCollection* FLayerCollection;
  uint32_t FOptions = 0;
  uint32_t FButtonSet = 0;
};

class TLayerCollection final : public TPersistent {
 public:
  // Owner is the form whose layers these are; Transform points at its bitmap-to-form mapping.
  TLayerCollection(TControl* AOwner, const TFixedTransform* Transform);
  ~TLayerCollection() override;

  // Creates a layer of kind T (its constructor takes the collection) and appends it.
  template <typename T>
  T* Add() {
    auto layer = std::make_unique<T>(this);
    T* result = layer.get();
    Insert(std::move(layer));
    return result;
  }
  void Clear();
  void Assign(TPersistent* Source) override;
  [[nodiscard]] int Count() const { return static_cast<int>(FItems.size()); }
  [[nodiscard]] TCustomLayer* Items(int Index) const { return FItems.at(static_cast<size_t>(Index)).get(); }

  // The topmost layer whose options share a bit with Mask and whose HitTest holds, or null.
  [[nodiscard]] TCustomLayer* LayerAt(int X, int Y, uint32_t Mask) const;
  // Each returns the layer that received the event, or null.
  TCustomLayer* MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  TCustomLayer* MouseMove(TShiftState Shift, int X, int Y);
  TCustomLayer* MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);

  [[nodiscard]] TCustomLayer* CaptureLayer() const { return FCaptureLayer; }
  void SetCaptureLayer(TCustomLayer* Layer);
  [[nodiscard]] bool MouseEventsEnabled() const { return FMouseEventsEnabled; }
  void SetMouseEventsEnabled(bool Value) { FMouseEventsEnabled = Value; }

  void BeginUpdate() { ++FUpdateCount; }
  // Fires OnChange when the count returns to zero.
  void EndUpdate();

  [[nodiscard]] TControl* Owner() const { return FOwner; }
  [[nodiscard]] const TFixedTransform* Transform() const { return FTransform; }

  TNotifyEvent OnChange;

 private:
  void Insert(std::unique_ptr<TCustomLayer> Layer);
  [[nodiscard]] TCustomLayer* MouseTarget(int X, int Y) const;

  const TFixedTransform* FTransform;
  std::vector<std::unique_ptr<TCustomLayer>> FItems;
  bool FMouseEventsEnabled = true;
  TCustomLayer* FCaptureLayer = nullptr;
  int FUpdateCount = 0;
  TControl* FOwner;
};
