// How the flat exports reach library objects: handle casts, the one mechanism that gives
// every family its Delete and GetErrHandle, and the library-wide slots of kept strings.
#pragma once

#include "frame/RefObject.h"
#include "frame/Text.h"
#include "velmira/velmira.h"

namespace velmira::api {

// A handle is the address of the library object; the header's types only keep families apart.
template <class T, class Handle>
T* Unwrap(Handle* handle) {
  return reinterpret_cast<T*>(handle);
}

template <class Handle, class T>
Handle* Wrap(T* object) {
  return reinterpret_cast<Handle*>(object);
}

inline VmError* ErrorHandleOf(RefObject* object) {
  return object == nullptr ? nullptr : reinterpret_cast<VmError*>(&object->GetError());
}

inline Error* ErrorRecord(VmError* record) { return reinterpret_cast<Error*>(record); }

// A library-wide slot for the strings of one kept-class export: each call replaces the Text
// held before, which frees the wide string handed out by the previous call.
class KeptString {
 public:
  KeptString() = default;
  KeptString(const KeptString&) = delete;
  KeptString& operator=(const KeptString&) = delete;

  // Takes over the caller's reference to text and returns its wide copy, stored through out.
  BSTR Keep(Text* text, BSTR* out);

 private:
  Ref<Text> Held;
};

}  // namespace velmira::api

// Defines Family_Delete and Family_GetErrHandle for a family whose handles are Class objects.
#define VELMIRA_FAMILY_FRAME(Family, HandleType, Class)                                \
  extern "C" void Family##_Delete(HandleType* h) {                                    \
    ::velmira::ReleaseObject(::velmira::api::Unwrap<Class>(h));                       \
  }                                                                                   \
  extern "C" VmError* Family##_GetErrHandle(HandleType* h) {                          \
    return ::velmira::api::ErrorHandleOf(::velmira::api::Unwrap<Class>(h));           \
  }
