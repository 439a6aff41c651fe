// The members the overlay families share (Icon, Label, Line, Rectangle, Ellipse), defined once
// per family by the macros below. Stored objects go out with one more reference and come in
// shared, never copied.
#pragma once

#include <new>

#include "api/Export.h"
#include "geo/Position.h"
#include "view/Brush.h"
#include "view/Pen.h"

namespace velmira::api {

// A copy-class string: a new wide string for the caller, also stored through out when given.
// Null text gives an empty string.
BSTR CopyString(const Text* text, BSTR* out);

}  // namespace velmira::api

// New, Delete, GetErrHandle, GetID and SetID. IDs cross the boundary as signed 32-bit values.
#define VELMIRA_OVERLAY_FRAME(Family, HandleType, Class)                                      \
  VELMIRA_FAMILY_FRAME(Family, HandleType, Class)                                             \
  extern "C" HandleType* Family##_New(void) {                                                 \
    return ::velmira::api::Wrap<HandleType>(new (std::nothrow) Class());                      \
  }                                                                                           \
  extern "C" int32_t Family##_GetID(HandleType* h) {                                          \
    return static_cast<int32_t>(::velmira::api::Unwrap<Class>(h)->GetID());                   \
  }                                                                                           \
  extern "C" void Family##_SetID(HandleType* h, int32_t id) {                                 \
    ::velmira::api::Unwrap<Class>(h)->SetID(static_cast<uint32_t>(id));                       \
  }

// GetPosition, SetPosition, the offsets and the box size.
#define VELMIRA_OVERLAY_PLACEMENT(Family, HandleType, Class)                                  \
  extern "C" VmPosition* Family##_GetPosition(HandleType* h) {                                \
    return ::velmira::api::Wrap<VmPosition>(                                                  \
        ::velmira::api::Unwrap<Class>(h)->GetPosition().Detach());                            \
  }                                                                                           \
  extern "C" void Family##_SetPosition(HandleType* h, VmPosition* position) {                 \
    ::velmira::api::Unwrap<Class>(h)->SetPosition(                                            \
        ::velmira::api::Unwrap<::velmira::Position>(position));                               \
  }                                                                                           \
  extern "C" int32_t Family##_GetOffsetX(HandleType* h) {                                     \
    return ::velmira::api::Unwrap<Class>(h)->GetOffsetX();                                    \
  }                                                                                           \
  extern "C" void Family##_SetOffsetX(HandleType* h, int32_t offset) {                        \
    ::velmira::api::Unwrap<Class>(h)->SetOffsetX(offset);                                     \
  }                                                                                           \
  extern "C" int32_t Family##_GetOffsetY(HandleType* h) {                                     \
    return ::velmira::api::Unwrap<Class>(h)->GetOffsetY();                                    \
  }                                                                                           \
  extern "C" void Family##_SetOffsetY(HandleType* h, int32_t offset) {                        \
    ::velmira::api::Unwrap<Class>(h)->SetOffsetY(offset);                                     \
  }                                                                                           \
  extern "C" int32_t Family##_GetWidth(HandleType* h) {                                       \
    return ::velmira::api::Unwrap<Class>(h)->GetWidth();                                      \
  }                                                                                           \
  extern "C" int32_t Family##_GetHeight(HandleType* h) {                                      \
    return ::velmira::api::Unwrap<Class>(h)->GetHeight();                                     \
  }

// SetWidth and SetHeight of the shapes whose size the caller sets directly.
#define VELMIRA_OVERLAY_SIZE(Family, HandleType, Class)                                       \
  extern "C" void Family##_SetWidth(HandleType* h, int32_t width) {                           \
    ::velmira::api::Unwrap<Class>(h)->SetWidth(width);                                        \
  }                                                                                           \
  extern "C" void Family##_SetHeight(HandleType* h, int32_t height) {                         \
    ::velmira::api::Unwrap<Class>(h)->SetHeight(height);                                      \
  }

#define VELMIRA_OVERLAY_PEN(Family, HandleType, Class)                                        \
  extern "C" VmPen* Family##_GetPen(HandleType* h) {                                          \
    return ::velmira::api::Wrap<VmPen>(::velmira::api::Unwrap<Class>(h)->GetPen().Detach());  \
  }                                                                                           \
  extern "C" void Family##_SetPen(HandleType* h, VmPen* pen) {                                \
    ::velmira::api::Unwrap<Class>(h)->SetPen(::velmira::api::Unwrap<::velmira::Pen>(pen));    \
  }

#define VELMIRA_OVERLAY_BRUSH(Family, HandleType, Class)                                      \
  extern "C" VmBrush* Family##_GetBrush(HandleType* h) {                                      \
    return ::velmira::api::Wrap<VmBrush>(                                                     \
        ::velmira::api::Unwrap<Class>(h)->GetBrush().Detach());                               \
  }                                                                                           \
  extern "C" void Family##_SetBrush(HandleType* h, VmBrush* brush) {                          \
    ::velmira::api::Unwrap<Class>(h)->SetBrush(                                               \
        ::velmira::api::Unwrap<::velmira::Brush>(brush));                                     \
  }

// The corner positions of Line and Rectangle.
#define VELMIRA_OVERLAY_TWO_POINTS(Family, HandleType, Class)                                 \
  extern "C" VmPosition* Family##_GetPosition1(HandleType* h) {                               \
    return ::velmira::api::Wrap<VmPosition>(                                                  \
        ::velmira::api::Unwrap<Class>(h)->GetPosition1().Detach());                           \
  }                                                                                           \
  extern "C" void Family##_SetPosition1(HandleType* h, VmPosition* position) {                \
    ::velmira::api::Unwrap<Class>(h)->SetPosition1(                                           \
        ::velmira::api::Unwrap<::velmira::Position>(position));                               \
  }                                                                                           \
  extern "C" VmPosition* Family##_GetPosition2(HandleType* h) {                               \
    return ::velmira::api::Wrap<VmPosition>(                                                  \
        ::velmira::api::Unwrap<Class>(h)->GetPosition2().Detach());                           \
  }                                                                                           \
  extern "C" void Family##_SetPosition2(HandleType* h, VmPosition* position) {                \
    ::velmira::api::Unwrap<Class>(h)->SetPosition2(                                           \
        ::velmira::api::Unwrap<::velmira::Position>(position));                               \
  }
