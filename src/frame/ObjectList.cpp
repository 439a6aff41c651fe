#include "frame/ObjectList.h"

#include <new>

namespace velmira {

ObjectList::~ObjectList() { Clear(); }

bool ObjectList::Insert(RefObject* element, int32_t index) {
  Err.Clear();
  if (element == nullptr) {
    Err.Set(errors::InvalidParameter);
    return false;
  }
  Node* node = new (std::nothrow) Node{nullptr, nullptr, element};
  if (node == nullptr) return false;  // allocation failures go unreported, as elsewhere
  element->AddRef();

  if (Head == nullptr) {
    Head = Tail = node;
  } else if (index < 0 || index > Length) {
    node->Prev = Tail;
    Tail->Next = node;
    Tail = node;
  } else {
    // 2 <= index <= Length: in front of the node now at position index; 0 and 1 both mean the
    // front, which is the node at position 1.
    Node* at = Head;
    for (int32_t i = 1; i < index; ++i) at = at->Next;
    node->Next = at;
    node->Prev = at->Prev;
    (at->Prev != nullptr ? at->Prev->Next : Head) = node;
    at->Prev = node;
  }
  ++Length;
  Cursor = Head;
  return true;
}

bool ObjectList::Remove(uint32_t id) {
  Node* node = NodeWithId(id);
  if (node == nullptr) return false;
  (node->Prev != nullptr ? node->Prev->Next : Head) = node->Next;
  (node->Next != nullptr ? node->Next->Prev : Tail) = node->Prev;
  --Length;
  Cursor = Head;
  // Unlinked before the release: destroying the element must find the list consistent.
  RefObject* element = node->Element;
  delete node;
  ReleaseObject(element);
  return true;
}

void ObjectList::Clear() {
  // The chain is detached first, so an element's destructor sees an empty list.
  Node* node = Head;
  Head = Tail = Cursor = nullptr;
  Length = 0;
  while (node != nullptr) {
    Node* next = node->Next;
    RefObject* element = node->Element;
    delete node;
    ReleaseObject(element);
    node = next;
  }
}

ObjectList::Node* ObjectList::NodeWithId(uint32_t id) const {
  for (Node* node = Head; node != nullptr; node = node->Next) {
    if (node->Element->GetID() == id) return node;
  }
  return nullptr;
}

int32_t ObjectList::IndexOf(uint32_t id) const {
  int32_t position = 1;
  for (Node* node = Head; node != nullptr; node = node->Next, ++position) {
    if (node->Element->GetID() == id) return position;
  }
  return 0;
}

Ref<RefObject> ObjectList::Find(uint32_t id) const {
  Node* node = NodeWithId(id);
  return Ref<RefObject>::Retain(node != nullptr ? node->Element : nullptr);
}

uint32_t ObjectList::IdAt(int32_t index) const {
  if (index < 1 || index > Length) return 0;
  Node* node = Head;
  for (int32_t i = 1; i < index; ++i) node = node->Next;
  return node->Element->GetID();
}

Ref<RefObject> ObjectList::First() {
  Cursor = Head;
  return Current();
}

Ref<RefObject> ObjectList::Last() {
  Cursor = Tail;
  return Current();
}

Ref<RefObject> ObjectList::Next() {
  if (Cursor != nullptr) Cursor = Cursor->Next;
  return Current();
}

Ref<RefObject> ObjectList::Prev() {
  if (Cursor != nullptr) Cursor = Cursor->Prev;
  return Current();
}

Ref<RefObject> ObjectList::Current() const {
  return Ref<RefObject>::Retain(Cursor != nullptr ? Cursor->Element : nullptr);
}

void ObjectList::CloseAll() {
  for (Node* node = Head; node != nullptr; node = node->Next) node->Element->Close();
}

}  // namespace velmira
