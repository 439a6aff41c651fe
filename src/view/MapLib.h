// The maps and icon templates a viewer works with: read from a map library file, or maps made
// empty by name. The library's File is shared with every map and icon read from it, so the
// file stays open while any of them lives, even after the library is closed or failed to open.
//
// File layout (little-endian): chunks of a 4-byte tag and a signed 4-byte size. The first is
// 'KOLV' (uint16 major 1, uint16 minor 0, further bytes skipped); then, up to the end, 'ICOH'
// (a 66-byte icon record, then that icon's picture chunks), 'MAPH' (a 134-byte map record,
// then that map's tiles) in any order, and any other chunk, which is passed over whole.
#pragma once

#include <cstdint>

#include "frame/ObjectList.h"
#include "frame/RefObject.h"
#include "frame/Text.h"
#include "maps/File.h"
#include "maps/Map.h"
#include "view/Icon.h"
#include "view/NameIndex.h"

namespace velmira {

class MapLib final : public RefObject {
 public:
  MapLib() = default;
  ~MapLib() override;

  // Closes every map and icon (they drop the file; those still held elsewhere live on, maps
  // rendering white), then drops the file and both lists.
  void Close() override;

  // Replaces the file and both lists with those of the named file, even on failure. Maps and
  // icons read before a failure stay in the lists, usable, each keeping the file open; the
  // library itself then keeps no file. Errors: the file's (open, read, seek), 10013 for a
  // first chunk other than 'KOLV' or a negative chunk size, 10014 for a version other than
  // 1.0, and those of the map and icon records. Returns whether the whole file was read.
  bool Open(Text& name);
  bool HasFile() const { return static_cast<bool>(LibFile); }

  // New empty map with that name at the end (the caller's reference; the list keeps its own),
  // or none with 10003 when a map has the name already.
  Ref<Map> NewMap(Text& name);
  // The map at 1-based position index, or none (no error) outside 1..count.
  Ref<Map> GetMapByIndex(int32_t index);
  // The first map with that name, or none. Constant time: an index by name follows the list.
  Ref<Map> GetMapByName(const Text& name);
  int32_t GetMapCount() const { return Maps ? Maps->Count() : 0; }
  // Removes the entry with the map's ID; absent maps and null do nothing.
  void RemoveMap(Map* map);

  // The first icon template with that name, or none, in constant time as maps are.
  Ref<Icon> FindIcon(const Text& name);
  // The icon template at 1-based position index, or none.
  Ref<Icon> GetIconByIndex(int32_t index);
  int32_t GetIconCount() const { return Icons ? Icons->Count() : 0; }

 private:
  bool ReadHeaderChunk(File& file);
  bool ReadChunks(File& file);
  bool LoadMap(File& file);
  bool LoadIcon(File& file);
  // Appends to the list and the index; false with 10012 when out of memory.
  bool AppendMap(Map& map);
  // After the first map of a name left the list: the next one of that name becomes its answer.
  void ReindexName(const Text& name);

  Ref<File> LibFile;
  Ref<ObjectList> Maps;
  Ref<ObjectList> Icons;
  NameIndex<Map> MapNames;
  NameIndex<Icon> IconNames;
};

}  // namespace velmira
