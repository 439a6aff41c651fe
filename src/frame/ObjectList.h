// The container of reference-counted objects: layers, the overlay objects of a layer, the maps
// and icons of a map library. An ordered doubly linked list that owns one reference per node,
// finds elements by ID (the first from the head wins when IDs repeat) or by 1-based position,
// and has one cursor for walking.
#pragma once

#include <cstdint>

#include "frame/RefObject.h"

namespace velmira {

class ObjectList final : public RefObject {
 public:
  ObjectList() = default;
  ~ObjectList() override;

  // Links the element (adding a reference) so that it takes position index: index 0 or 1 puts
  // it first, index < 0 or > Count() appends, an empty list takes it whatever the index.
  // The cursor goes to the head. Design choice: a null element is refused with
  // "Invalid parameter!" and false, leaving the list unchanged.
  bool Insert(RefObject* element, int32_t index);
  // Unlinks the first element with this ID and releases it; the cursor goes to the head.
  // False, with list and cursor untouched, when no element has the ID.
  bool Remove(uint32_t id);
  // Releases every element from head to tail; the cursor becomes none.
  void Clear();

  // 1-based position of the first element with this ID, or 0.
  int32_t IndexOf(uint32_t id) const;
  // The first element with this ID (one more reference), or none.
  Ref<RefObject> Find(uint32_t id) const;
  // ID of the element at 1-based position index, or 0 outside 1..Count().
  uint32_t IdAt(int32_t index) const;
  int32_t Count() const { return Length; }

  // The cursor walk. First/Last put the cursor on head/tail; Next/Prev move it one node (it
  // becomes none past either end and stays none until First or Last). Each returns the element
  // at the cursor with one more reference, or none. A walk must not change the list.
  Ref<RefObject> First();
  Ref<RefObject> Last();
  Ref<RefObject> Next();
  Ref<RefObject> Prev();
  Ref<RefObject> Current() const;

  // Calls Close on every element from head to tail, removing none.
  void CloseAll();

 private:
  struct Node {
    Node* Next;
    Node* Prev;
    RefObject* Element;  // the list's reference
  };

  Node* NodeWithId(uint32_t id) const;

  Node* Head = nullptr;
  Node* Tail = nullptr;
  Node* Cursor = nullptr;
  int32_t Length = 0;
};

// An element handed out by a list, as the type its owner put in.
template <class T>
Ref<T> RefAs(Ref<RefObject> element) {
  return Ref<T>::Adopt(static_cast<T*>(element.Detach()));
}

}  // namespace velmira
