#include "skin/GfxLayers.h"

#include "platform/ui/Forms.h"

namespace {

constexpr uint32_t AllButtons = 0x7;

// Ends an update when the scope ends, however it is left.
class TUpdateGuard {
 public:
  explicit TUpdateGuard(TLayerCollection* Collection) : FCollection(Collection) {
    FCollection->BeginUpdate();
  }
  ~TUpdateGuard() { FCollection->EndUpdate(); }
  TUpdateGuard(const TUpdateGuard&) = delete;
  TUpdateGuard& operator=(const TUpdateGuard&) = delete;

 private:
  TLayerCollection* FCollection;
};

}  // namespace

void TCustomLayer::Assign(TPersistent* Source) {
  if (auto* layer = dynamic_cast<TCustomLayer*>(Source)) {
    FOptions = layer->FOptions;
    OnPaint = layer->OnPaint;
    return;
  }
  TPersistent::Assign(Source);
}

TLayerCollection::TLayerCollection(TControl* AOwner, const TFixedTransform* Transform)
    : FTransform(Transform), FOwner(AOwner) {}

TLayerCollection::~TLayerCollection() {
  // No change notification while the collection goes away.
  FUpdateCount = 1;
  FCaptureLayer = nullptr;
  while (!FItems.empty())
    FItems.pop_back();
}

void TLayerCollection::Insert(std::unique_ptr<TCustomLayer> Layer) {
  TUpdateGuard guard(this);
  FItems.push_back(std::move(Layer));
}

void TLayerCollection::Clear() {
  TUpdateGuard guard(this);
  while (!FItems.empty()) {
    if (FCaptureLayer == FItems.back().get()) FCaptureLayer = nullptr;
    FItems.pop_back();
  }
}

void TLayerCollection::Assign(TPersistent* Source) {
  auto* source = dynamic_cast<TLayerCollection*>(Source);
  if (source == nullptr) {
    TPersistent::Assign(Source);
    return;
  }
  if (source == this) return;
  TUpdateGuard guard(this);
  Clear();
  for (const auto& item : source->FItems) {
    std::unique_ptr<TCustomLayer> layer = item->CreateSame(this);
    layer->Assign(item.get());
    FItems.push_back(std::move(layer));
  }
}

TCustomLayer* TLayerCollection::LayerAt(int X, int Y, uint32_t Mask) const {
  for (auto it = FItems.rbegin(); it != FItems.rend(); ++it) {
    TCustomLayer* layer = it->get();
    if ((layer->Options() & Mask) != 0 && layer->HitTest(X, Y)) return layer;
  }
  return nullptr;
}

TCustomLayer* TLayerCollection::MouseTarget(int X, int Y) const {
  return FCaptureLayer != nullptr ? FCaptureLayer : LayerAt(X, Y, LOB_MOUSE_EVENTS);
}

TCustomLayer* TLayerCollection::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomLayer* layer = MouseTarget(X, Y);
  if (Button == mbLeft && layer != FCaptureLayer &&
      (layer == nullptr || (layer->Options() & LOB_NO_CAPTURE) == 0)) {
    SetCaptureLayer(layer);
  }
  if (FCaptureLayer != nullptr) {
    FCaptureLayer->SetButtonSet(FCaptureLayer->ButtonSet() | ButtonBit(Button));
    FCaptureLayer->MouseDown(Button, Shift, X, Y);
  }
  return layer;
}

TCustomLayer* TLayerCollection::MouseMove(TShiftState Shift, int X, int Y) {
  TCustomLayer* layer = MouseTarget(X, Y);
  if (layer != nullptr) {
    layer->MouseMove(Shift, X, Y);
  } else if (FOwner != nullptr) {
    Screen->SetCursor(FOwner->Cursor());
  }
  return layer;
}

TCustomLayer* TLayerCollection::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomLayer* layer = MouseTarget(X, Y);
  if (layer != nullptr) {
    layer->SetButtonSet(layer->ButtonSet() & ~ButtonBit(Button));
    layer->MouseUp(Button, Shift, X, Y);
  }
  if (FCaptureLayer != nullptr && (FCaptureLayer->ButtonSet() & AllButtons) == 0) SetCaptureLayer(nullptr);
  return layer;
}

void TLayerCollection::SetCaptureLayer(TCustomLayer* Layer) {
  if (Layer == FCaptureLayer) return;
  if (FCaptureLayer != nullptr) FCaptureLayer->SetButtonSet(FCaptureLayer->ButtonSet() & ~AllButtons);
  FCaptureLayer = Layer;
}

void TLayerCollection::EndUpdate() {
  --FUpdateCount;
  if (FUpdateCount == 0 && OnChange) OnChange(this);
}
