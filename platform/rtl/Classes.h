// Objects, persistent objects and components with owners.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Types.h"

// Root of every class of the system. Objects are not copied; they are created and freed.
class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
};

// An event handler without arguments besides its sender (the class library's TNotifyEvent).
using TNotifyEvent = std::function<void(TObject* Sender)>;

// An object that can copy itself from another: Assign asks the source's AssignTo, whose default raises.
class TPersistent : public TObject {
 public:
  virtual void Assign(TPersistent* Source);

 protected:
  virtual void AssignTo(TPersistent* Dest);
  // Names the class in the "cannot assign" message.
  [[nodiscard]] virtual std::string ClassName() const;
};

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
