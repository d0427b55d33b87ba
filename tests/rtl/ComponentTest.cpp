#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/rtl/Classes.h"

namespace {

std::vector<std::string> destroyed;

class Probe : public TComponent {
 public:
  Probe(TComponent* owner, std::string name) : TComponent(owner) { SetName(name); }
  ~Probe() override { destroyed.push_back(Name()); }
  TComponent* watched = nullptr;
  static inline long told = 0;  // notifications heard by all probes

 protected:
  void Notification(TComponent* c, TOperation op) override {
    ++told;
    TComponent::Notification(c, op);
    if (op == TOperation::opRemove && c == watched) watched = nullptr;
  }
};

TEST(Component, OwnerFreesOwnedInReverseCreationOrder) {
  destroyed.clear();
  auto* root = new Probe(nullptr, "root");
  new Probe(root, "a");
  auto* b = new Probe(root, "b");
  new Probe(b, "b1");
  new Probe(root, "c");
  ASSERT_EQ(root->ComponentCount(), 3);
  EXPECT_EQ(root->Components(1), b);
  EXPECT_EQ(root->FindComponent("B"), b);
  delete root;
  EXPECT_EQ(destroyed, (std::vector<std::string>{"root", "c", "b", "b1", "a"}));
}

TEST(Component, FreeingAnOwnedComponentRemovesItFromItsOwner) {
  Probe root(nullptr, "root");
  auto* a = new Probe(&root, "a");
  new Probe(&root, "b");
  delete a;
  ASSERT_EQ(root.ComponentCount(), 1);
  EXPECT_EQ(root.Components(0)->Name(), "b");
  EXPECT_THROW((void)root.Components(1), EListError);
}

TEST(Component, FreeNotificationClearsReferencesAcrossOwners) {
  Probe left(nullptr, "left");
  Probe right(nullptr, "right");
  auto* target = new Probe(&right, "target");
  auto* watcher = new Probe(&left, "watcher");
  watcher->watched = target;
  target->FreeNotification(watcher);
  delete target;
  EXPECT_EQ(watcher->watched, nullptr);
  // The watcher's list no longer names the freed target: freeing the watcher tells nobody stale.
  delete watcher;
}

TEST(Component, SiblingsAreToldThroughTheirOwner) {
  Probe root(nullptr, "root");
  auto* target = new Probe(&root, "target");
  auto* watcher = new Probe(&root, "watcher");
  watcher->watched = target;
  delete target;
  EXPECT_EQ(watcher->watched, nullptr);
}

// An owner that is being destroyed tells what it owns only of removals one of them asked about, so a
// sibling that asked still clears its reference before it goes itself, and freeing n components costs
// about n notifications, not n * n.
TEST(Component, AnOwnerBeingDestroyedPassesOnOnlyRemovalsAskedAbout) {
  destroyed.clear();
  {
    Probe root(nullptr, "root");
    auto* watcher = new Probe(&root, "watcher");
    auto* target = new Probe(&root, "target");  // freed first, in reverse creation order
    watcher->watched = target;
    target->FreeNotification(watcher);
    root.Destroying();
    delete target;  // as a parent frees its children while its owner is being destroyed
    EXPECT_EQ(watcher->watched, nullptr);
  }
  constexpr int kCount = 4000;
  auto* root = new Probe(nullptr, "root");
  std::vector<Probe*> children;
  for (int i = 0; i < kCount; ++i)
    children.push_back(new Probe(root, "c" + std::to_string(i)));
  Probe::told = 0;
  root->Destroying();
  for (Probe* c : children)  // in creation order: each leaves a gap in its owner's list
    delete c;
  EXPECT_EQ(root->ComponentCount(), 0);
  delete root;
  EXPECT_LT(Probe::told, 4 * kCount);

  // Freeing many of a living owner's components at once: what stays hears of each, what goes does not.
  Probe owner(nullptr, "owner");
  auto* keeper = new Probe(&owner, "keeper");
  auto* kept = new Probe(&owner, "kept");
  for (int i = 0; i < kCount; ++i)
    new Probe(&owner, "c" + std::to_string(i));
  keeper->watched = owner.Components(owner.ComponentCount() - 1);
  Probe::told = 0;
  owner.DestroyComponents([&](const TComponent* C) { return C != keeper && C != kept; });
  EXPECT_EQ(owner.ComponentCount(), 2);
  EXPECT_EQ(owner.Components(1), kept);
  EXPECT_EQ(keeper->watched, nullptr);
  EXPECT_LT(Probe::told, 4 * kCount);
}

TEST(Component, LoadingAndDesigningStates) {
  Probe root(nullptr, "root");
  auto* child = new Probe(&root, "child");
  root.SetLoading(true);
  EXPECT_TRUE(root.ComponentState().Contains(TComponentStateItem::csLoading));
  root.Loaded();
  EXPECT_FALSE(root.ComponentState().Contains(TComponentStateItem::csLoading));
  root.SetDesigning(true);
  EXPECT_TRUE(child->ComponentState().Contains(TComponentStateItem::csDesigning));
  auto* late = new Probe(&root, "late");
  EXPECT_EQ(late->ComponentIndex(), 1);
  EXPECT_EQ(root.FindComponent(""), nullptr);
  EXPECT_EQ(root.FindComponent("LATE"), late);
}

TEST(Component, MovingToAnotherOwner) {
  destroyed.clear();
  {
    Probe a(nullptr, "a");
    Probe b(nullptr, "b");
    auto* moved = new Probe(&a, "moved");
    b.InsertComponent(moved);
    EXPECT_EQ(a.ComponentCount(), 0);
    EXPECT_EQ(moved->Owner(), &b);
  }
  // b is destroyed first (reverse declaration order) and takes the moved component with it.
  EXPECT_EQ(destroyed, (std::vector<std::string>{"b", "moved", "a"}));
}

class Picture : public TPersistent {};
class Font : public TPersistent {};

TEST(Persistent, DefaultAssignRaisesConvertErrorNamingBothClasses) {
  Picture a;
  Font b;
  try {
    a.Assign(&b);
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message, "Font kann nicht zu Picture zugewiesen werden");
  }
  try {
    a.Assign(nullptr);
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message, "nil kann nicht zu Picture zugewiesen werden");
  }
}

}  // namespace
