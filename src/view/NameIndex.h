// The map library's lookup by name: for every name, the first entry of a list that has it, so
// that a lookup costs one hash instead of a walk over the list (a library may hold hundreds of
// thousands of entries). The index follows a list that only grows at its end and loses entries
// anywhere: the list owns the entries, the index only points at them.
#pragma once

#include <cstdint>
#include <functional>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>

#include "frame/Text.h"

namespace velmira {

template <class T>
class NameIndex {
 public:
  // Notes an entry appended to the list; the first entry of a name stays its answer. An empty
  // name is not indexed, since it never matches. False when out of memory (nothing noted).
  bool Add(const Text& name, T* entry) { return Add(Key(name), entry); }
  // The same for a name's bytes, so that an entry need not make its name's Text to be noted.
  bool Add(std::string_view name, T* entry) {
    if (name.empty()) return true;
    try {
      auto at = Entries.try_emplace(std::string(name), Entry{entry, 0}).first;
      ++at->second.Count;
      return true;
    } catch (const std::bad_alloc&) {
      return false;
    }
  }

  // The first entry with that name, or null; an empty name never matches.
  T* Find(const Text& name) const {
    if (name.Length() == 0) return nullptr;
    auto at = Entries.find(Key(name));
    return at == Entries.end() ? nullptr : at->second.First;
  }

  // Notes that entry left the list. True when other entries of the name remain but the first
  // one went: the caller then finds the next in list order and gives it to Replace.
  bool Remove(const Text& name, const T* entry) {
    auto at = Entries.find(Key(name));
    if (at == Entries.end()) return false;
    if (--at->second.Count == 0) {
      Entries.erase(at);
      return false;
    }
    return at->second.First == entry;
  }
  void Replace(const Text& name, T* entry) {
    auto at = Entries.find(Key(name));
    if (at != Entries.end()) at->second.First = entry;
  }

  void Clear() { Entries.clear(); }

 private:
  struct Entry {
    T* First;
    int32_t Count;  // entries of the list with the name
  };
  // Names are compared byte by byte, so the key is the bytes. Lookups hash the name where it
  // lies (no copy, so they cannot run out of memory).
  static std::string_view Key(const Text& name) {
    return std::string_view(name.Chars(), static_cast<size_t>(name.Length()));
  }
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view key) const { return std::hash<std::string_view>()(key); }
  };

  std::unordered_map<std::string, Entry, Hash, std::equal_to<>> Entries;
};

}  // namespace velmira
