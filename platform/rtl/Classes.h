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
  [[nodiscard]] int ComponentCount() const;
  // Owned components in creation order; raises EListError for a bad index.
  [[nodiscard]] TComponent* Components(int Index) const;
  [[nodiscard]] int ComponentIndex() const;
  [[nodiscard]] TComponent* FindComponent(const std::string& AName) const;
  [[nodiscard]] TComponentState ComponentState() const { return FComponentState; }

  void InsertComponent(TComponent* AComponent);
  void RemoveComponent(TComponent* AComponent);
  // Frees every owned component, the last created first.
  void DestroyComponents();
  // Frees the owned components that Which picks, the last created first. The components that stay hear
  // of each removal, as from RemoveComponent; those that go hear only of removals one of them asked about
  // (FreeNotification), so that freeing n of them costs about n notifications rather than n * n.
  void DestroyComponents(const std::function<bool(const TComponent*)>& Which);
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
  // Told of a component inserted into this one (opInsert) and of a component that goes (opRemove: this
  // component's own, one it asked to hear of, or one of its owner's, passed on to everything it owns).
  virtual void Notification(TComponent* AComponent, TOperation Operation);
  void SetComponentState(TComponentState State) { FComponentState = State; }

 private:
  void Insert(TComponent* AComponent);
  void Remove(TComponent* AComponent);
  void RemoveNotification(TComponent* AComponent);
  // Closes the gaps that removals left while this component was being destroyed.
  void Compact() const;

  TComponent* FOwner = nullptr;
  std::string FName;
  // The owned components in creation order; each knows its place (FOwnerIndex). While this component is
  // being destroyed, a component that goes leaves a gap (null) instead of moving all after it.
  mutable std::vector<TComponent*> FComponents;
  mutable size_t FGaps = 0;
  size_t FOwnerIndex = 0;
  std::vector<TComponent*> FFreeNotifies;
  TComponentState FComponentState;
  // A component of the same owner asked to be told when this one goes (FreeNotification): the owner
  // passes this one's removal on even while it is being destroyed itself.
  bool FWatchedBySibling = false;
};

// Reads or writes the bytes of a binary property.
using TStreamProc = std::function<void(TStream* Stream)>;

// The streaming of properties that objects define themselves (DefineProperties), in the class library's
// binary form: per property its name (a length byte and the characters), the value type 10 (binary), a
// 32-bit little-endian byte count and the bytes; a zero byte ends the list.
class TFiler : public TObject {
 public:
  explicit TFiler(TStream* Stream) : FStream(Stream) {}
  // The object that holds the values already stored for the one being written (null: none); an object
  // writes a property only when its value differs from the ancestor's.
  [[nodiscard]] TPersistent* Ancestor() const { return FAncestor; }
  void SetAncestor(TPersistent* Value) { FAncestor = Value; }
  // A property of raw bytes: WriteData writes them when HasData; ReadData reads them from a stream that
  // holds exactly the property's bytes.
  virtual void DefineBinaryProperty(const std::string& Name, const TStreamProc& ReadData,
                                    const TStreamProc& WriteData, bool HasData) = 0;

 protected:
  TStream* FStream;

 private:
  TPersistent* FAncestor = nullptr;
};

class TWriter final : public TFiler {
 public:
  using TFiler::TFiler;
  // Writes the properties that Instance defines, then the end of the list.
  void WriteProperties(TPersistent* Instance);
  void DefineBinaryProperty(const std::string& Name, const TStreamProc& ReadData,
                            const TStreamProc& WriteData, bool HasData) override;
};

class TReader final : public TFiler {
 public:
  using TFiler::TFiler;
  // Reads properties into Instance up to the end of the list. A name that Instance does not define
  // raises EReadError "Eigenschaft %s existiert nicht", a value that is not binary "Ungültiger
  // Eigenschaftswert", a short stream "Stream-Lesefehler".
  void ReadProperties(TPersistent* Instance);
  void DefineBinaryProperty(const std::string& Name, const TStreamProc& ReadData,
                            const TStreamProc& WriteData, bool HasData) override;

 private:
  std::string FPropName;  // the property being read; cleared once an object has taken it
};

// Owns a component created without owner (or one whose owner is meant to be replaced) until scope end.
template <typename T>
void FreeAndNil(T*& Object) {
  T* tmp = Object;
  Object = nullptr;
  delete tmp;
}
