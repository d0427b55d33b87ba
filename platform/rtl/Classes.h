// Objects, persistent objects and components with owners; lists, string lists, streams and threads
// come with it (Lists.h, Streams.h, Threads.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/rtl/Lists.h"
#include "platform/rtl/Objects.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Threads.h"
#include "platform/rtl/Types.h"

enum class TComponentStateItem { csLoading, csReading, csWriting, csDestroying, csDesigning, csUpdating };
using TComponentState = TSet<TComponentStateItem>;
enum class TOperation { opInsert, opRemove };

// A component belongs to one owner, which frees it; it tells components that asked for a free
// notification when it goes away, so they can clear their references.
class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;

  [[nodiscard]] TComponent* Owner() const { return FOwner; }
  [[nodiscard]] const std::string& Name() const { return FName; }
  virtual void SetName(const std::string& NewName);
  [[nodiscard]] int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  // Owned components in creation order; raises EListError for a bad index.
  [[nodiscard]] TComponent* Components(int Index) const;
  [[nodiscard]] int ComponentIndex() const;
  [[nodiscard]] TComponent* FindComponent(const std::string& AName) const;
  [[nodiscard]] TComponentState ComponentState() const { return FComponentState; }

  void InsertComponent(TComponent* AComponent);
  void RemoveComponent(TComponent* AComponent);
  // Frees every owned component, the last created first.
  void DestroyComponents();
  // Sets csDestroying on this component and everything it owns.
  void Destroying();

  // AComponent is told (Notification with opRemove) when this component is freed, and the other way
  // round. Components of one owner need not ask: the owner tells all it owns.
  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);

  // Called once after a component's properties have been set while csLoading was on.
  virtual void Loaded();
  void SetDesigning(bool Value);
  void SetLoading(bool Value);

  intptr_t Tag = 0;

 protected:
  virtual void Notification(TComponent* AComponent, TOperation Operation);
  void SetComponentState(TComponentState State) { FComponentState = State; }

 private:
  void Insert(TComponent* AComponent);
  void Remove(TComponent* AComponent);
  void RemoveNotification(TComponent* AComponent);

  TComponent* FOwner = nullptr;
  std::string FName;
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
  TComponentState FComponentState;
};

// Owns a component created without owner (or one whose owner is meant to be replaced) until scope end.
template <typename T>
void FreeAndNil(T*& Object) {
  T* tmp = Object;
  Object = nullptr;
  delete tmp;
}
