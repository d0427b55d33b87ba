#include "platform/rtl/Classes.h"

#include <cxxabi.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <memory>
#include <typeinfo>

void TPersistent::Assign(TPersistent* Source) {
  if (Source != nullptr) {
    Source->AssignTo(this);
    return;
  }
  AssignTo(this);
}

std::string TPersistent::ClassName() const {
  // The class library shows the plain name, without namespaces or template arguments.
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(
      abi::__cxa_demangle(typeid(*this).name(), nullptr, nullptr, &status), std::free);
  std::string name = status == 0 && demangled ? demangled.get() : typeid(*this).name();
  if (const size_t lt = name.find('<'); lt != std::string::npos) name.resize(lt);
  if (const size_t colon = name.rfind("::"); colon != std::string::npos) name = name.substr(colon + 2);
  return name;
}

void TPersistent::AssignTo(TPersistent* Dest) {
  std::string source = Dest == this ? "nil" : ClassName();
  throw EConvertError(source + " kann nicht zu " + Dest->ClassName() + " zugewiesen werden");
}

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner != nullptr) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  // Tell everyone who asked; each may remove itself from the list while being told.
  while (!FFreeNotifies.empty()) {
    TComponent* other = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    other->RemoveNotification(this);
    other->Notification(this, TOperation::opRemove);
  }
  DestroyComponents();
  if (FOwner != nullptr) FOwner->RemoveComponent(this);
}

int TComponent::ComponentCount() const {
  Compact();
  return static_cast<int>(FComponents.size());
}

TComponent* TComponent::Components(int Index) const {
  if (Index < 0 || Index >= ComponentCount())
    throw EListError("Der Index der Liste überschreitet das Maximum (" + std::to_string(Index) + ")");
  return FComponents[static_cast<size_t>(Index)];
}

int TComponent::ComponentIndex() const {
  if (FOwner == nullptr) return -1;
  FOwner->Compact();
  return static_cast<int>(FOwnerIndex);
}

TComponent* TComponent::FindComponent(const std::string& AName) const {
  if (AName.empty()) return nullptr;
  auto same = [&](TComponent* c) {
    return c != nullptr &&
           std::equal(c->FName.begin(), c->FName.end(), AName.begin(), AName.end(), [](char a, char b) {
             return std::tolower(static_cast<unsigned char>(a)) ==
                    std::tolower(static_cast<unsigned char>(b));
           });
  };
  auto it = std::find_if(FComponents.begin(), FComponents.end(), same);
  return it == FComponents.end() ? nullptr : *it;
}

void TComponent::Compact() const {
  if (FGaps == 0) return;
  FComponents.erase(std::remove(FComponents.begin(), FComponents.end(), nullptr), FComponents.end());
  for (size_t i = 0; i < FComponents.size(); ++i)
    FComponents[i]->FOwnerIndex = i;
  FGaps = 0;
}

void TComponent::SetName(const std::string& NewName) {
  FName = NewName;
}

void TComponent::Insert(TComponent* AComponent) {
  AComponent->FOwnerIndex = FComponents.size();
  FComponents.push_back(AComponent);
  AComponent->FOwner = this;
}

void TComponent::Remove(TComponent* AComponent) {
  const size_t i = AComponent->FOwnerIndex;
  if (i < FComponents.size() && FComponents[i] == AComponent) {
    if (FComponentState.Contains(TComponentStateItem::csDestroying)) {
      // Everything owned goes now: moving the rest for each one would cost n * n steps.
      FComponents[i] = nullptr;
      ++FGaps;
    } else {
      Compact();
      FComponents.erase(FComponents.begin() + static_cast<std::ptrdiff_t>(AComponent->FOwnerIndex));
      for (size_t j = AComponent->FOwnerIndex; j < FComponents.size(); ++j)
        FComponents[j]->FOwnerIndex = j;
    }
  }
  AComponent->FOwner = nullptr;
}

void TComponent::InsertComponent(TComponent* AComponent) {
  if (AComponent->FOwner != nullptr) AComponent->FOwner->RemoveComponent(AComponent);
  Insert(AComponent);
  Notification(AComponent, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  Notification(AComponent, TOperation::opRemove);
  Remove(AComponent);
}

void TComponent::DestroyComponents() {
  Compact();
  while (!FComponents.empty()) {
    TComponent* last = FComponents.back();
    if (last == nullptr) {
      FComponents.pop_back();
      --FGaps;
      continue;
    }
    Remove(last);
    delete last;
  }
  FGaps = 0;
}

void TComponent::DestroyComponents(const std::function<bool(const TComponent*)>& Which) {
  Compact();
  std::vector<TComponent*> going, staying;
  for (TComponent* c : FComponents)
    (Which(c) ? going : staying).push_back(c);
  if (going.empty()) return;
  for (TComponent* c : going)
    c->Destroying();
  FComponents = std::move(staying);
  for (size_t i = 0; i < FComponents.size(); ++i)
    FComponents[i]->FOwnerIndex = i;
  while (!going.empty()) {
    TComponent* c = going.back();
    going.pop_back();
    c->FOwner = nullptr;
    Notification(c, TOperation::opRemove);  // this component and everything that stays
    if (c->FWatchedBySibling) {
      for (TComponent* other : going)
        other->Notification(c, TOperation::opRemove);
    }
    delete c;
  }
}

void TComponent::Destroying() {
  if (FComponentState.Contains(TComponentStateItem::csDestroying)) return;
  FComponentState.Include(TComponentStateItem::csDestroying);
  for (TComponent* c : FComponents)
    if (c != nullptr) c->Destroying();
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (AComponent == nullptr || AComponent == this) return;
  if (FOwner != nullptr && AComponent->FOwner == FOwner) {
    FWatchedBySibling = true;
    return;
  }
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end()) {
    FFreeNotifies.push_back(AComponent);
    AComponent->FreeNotification(this);
  }
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  RemoveNotification(AComponent);
  if (AComponent != nullptr) AComponent->RemoveNotification(this);
}

void TComponent::RemoveNotification(TComponent* AComponent) {
  auto it = std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent);
  if (it != FFreeNotifies.end()) FFreeNotifies.erase(it);
}

void TComponent::Loaded() {
  FComponentState.Exclude(TComponentStateItem::csLoading);
}

void TComponent::SetDesigning(bool Value) {
  if (Value)
    FComponentState.Include(TComponentStateItem::csDesigning);
  else
    FComponentState.Exclude(TComponentStateItem::csDesigning);
  for (TComponent* c : FComponents)
    if (c != nullptr) c->SetDesigning(Value);
}

void TComponent::SetLoading(bool Value) {
  if (Value)
    FComponentState.Include(TComponentStateItem::csLoading);
  else
    FComponentState.Exclude(TComponentStateItem::csLoading);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
  // An insert is told to the new owner alone: nothing that an owner holds needs to hear of a sibling's
  // arrival, and telling all of them would make building n components cost n * n calls. A removal is
  // passed on to everything owned, which may hold a reference to the component that goes.
  if (Operation != TOperation::opRemove) return;
  // The lists of free notifications are kept both ways, so an empty one here names nobody to forget.
  if (AComponent != nullptr && !FFreeNotifies.empty()) RemoveFreeNotification(AComponent);
  // While this component is being destroyed, everything it owns goes too: a removal is passed on only
  // when one of them asked to hear of it (FreeNotification); the others learn nothing they could still
  // use, and freeing n components does not cost n * n calls.
  if (FComponentState.Contains(TComponentStateItem::csDestroying) &&
      (AComponent == nullptr || !AComponent->FWatchedBySibling))
    return;
  for (size_t i = FComponents.size(); i-- > 0;) {
    if (i < FComponents.size() && FComponents[i] != nullptr)
      FComponents[i]->Notification(AComponent, Operation);
  }
}

// ---- Filer --------------------------------------------------------------------------------------------

namespace {

constexpr uint8_t vaBinary = 10;

}  // namespace

void TWriter::WriteProperties(TPersistent* Instance) {
  Instance->DefineProperties(this);
  FStream->WriteByte(0);
}

void TWriter::DefineBinaryProperty(const std::string& Name, const TStreamProc& /*ReadData*/,
                                   const TStreamProc& WriteData, bool HasData) {
  if (!HasData || !WriteData) return;
  TMemoryStream data;
  WriteData(&data);
  if (Name.empty() || Name.size() > 255 || data.Size() > INT32_MAX) throw EWriteError("Stream-Schreibfehler");
  FStream->WriteByte(static_cast<uint8_t>(Name.size()));
  FStream->WriteString(Name);
  FStream->WriteByte(vaBinary);
  FStream->WriteDWord(static_cast<uint32_t>(data.Size()));
  FStream->WriteBuffer(data.Memory(), data.Size());
}

void TReader::ReadProperties(TPersistent* Instance) {
  for (;;) {
    std::string name(FStream->ReadByte(), '\0');
    if (name.empty()) return;
    FStream->ReadBuffer(name.data(), static_cast<int64_t>(name.size()));
    FPropName = name;
    Instance->DefineProperties(this);
    if (!FPropName.empty()) throw EReadError("Eigenschaft " + name + " existiert nicht");
  }
}

void TReader::DefineBinaryProperty(const std::string& Name, const TStreamProc& ReadData,
                                   const TStreamProc& /*WriteData*/, bool /*HasData*/) {
  if (FPropName.empty() || CompareText(Name, FPropName) != 0 || !ReadData) return;
  if (FStream->ReadByte() != vaBinary) throw EReadError("Ungültiger Eigenschaftswert");
  const uint32_t count = FStream->ReadDWord();
  // The count comes from the stream: it must not claim more than the stream holds.
  if (int64_t{count} > INT32_MAX || int64_t{count} > FStream->Size() - FStream->Position())
    throw EReadError("Stream-Lesefehler");
  TMemoryStream data;
  data.SetSize(count);
  FStream->ReadBuffer(data.Memory(), int64_t{count});
  data.SetPosition(0);
  FPropName.clear();
  ReadData(&data);
}
