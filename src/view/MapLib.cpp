// Reading map library files. The chunk loop stops at the first chunk it cannot take; what
// was read before stays. Two guards keep a damaged file from looping or misreading: a
// position at or past the end of the file ends the loop (a chunk whose size runs past the end
// leaves the position there), and a chunk header that cannot be read whole (fewer than 8
// bytes left) ends it with the file's read error.
#include "view/MapLib.h"

#include "maps/ChunkReader.h"

namespace velmira {
namespace {

constexpr uint32_t HeaderTag = ChunkTag("KOLV");
constexpr uint32_t MapTag = ChunkTag("MAPH");
constexpr uint32_t IconTag = ChunkTag("ICOH");
constexpr int32_t VersionBytes = 4;  // uint16 major, uint16 minor

}  // namespace

MapLib::~MapLib() { Close(); }

void MapLib::Close() {
  if (Maps) Maps->CloseAll();
  if (Icons) Icons->CloseAll();
  LibFile.Reset();
  Maps.Reset();
  Icons.Reset();
  MapNames.Clear();
  IconNames.Clear();
}

bool MapLib::AppendMap(Map& map) {
  if (!Maps) Maps = MakeRef<ObjectList>();
  if (!MapNames.Add(map.NameChars(), &map)) {
    Err.Set(errors::OutOfMemory);
    return false;
  }
  if (Maps->Insert(&map, -1)) return true;
  // Appended last, it answered for its name only if alone: nothing to find in its place.
  Ref<Text> name = Ref<Text>::Adopt(map.GetName());
  MapNames.Remove(*name, &map);
  Err.Set(errors::OutOfMemory);
  return false;
}

bool MapLib::Open(Text& name) {
  Err.Clear();
  LibFile = MakeRef<File>();
  Maps = MakeRef<ObjectList>();
  Icons = MakeRef<ObjectList>();
  MapNames.Clear();
  IconNames.Clear();
  Ref<File> file = LibFile;
  file->Open(name, File::ReadMode);
  if (file->GetError().Failed()) {
    Err.CopyFrom(file->GetError());
  } else if (ReadHeaderChunk(*file)) {
    ReadChunks(*file);
  }
  // Maps and icons already in the lists keep their own reference to the file.
  if (Err.Failed()) LibFile.Reset();
  return !Err.Failed();
}

bool MapLib::ReadHeaderChunk(File& file) {
  auto reader = MakeRef<ChunkReader>();
  uint32_t tag = 0;
  int32_t size = 0;
  if (!reader->ReadHeader(file, &tag, &size)) {
    Err.CopyFrom(reader->GetError());
    return false;
  }
  if (file.GetError().Failed()) {  // the size could not be read whole
    Err.CopyFrom(file.GetError());
    return false;
  }
  // Design choice: a header chunk too small to hold the version is no library file (reading
  // the version regardless would take the next chunk's bytes and step back into them).
  if (tag != HeaderTag || size < VersionBytes) {
    Err.Set(errors::UnknownFileFormat);
    return false;
  }
  uint16_t version[2] = {};
  file.Read(version, VersionBytes);
  if (!file.GetError().Failed()) file.Seek(size - VersionBytes, File::FromCurrent);
  if (file.GetError().Failed()) {
    Err.CopyFrom(file.GetError());
    return false;
  }
  if (version[0] != 1 || version[1] != 0) {
    Err.Set(errors::UnknownFileVersion);
    return false;
  }
  return true;
}

bool MapLib::ReadChunks(File& file) {
  for (;;) {
    // The header read stands for the end test: nothing read at the end of the file, or past
    // it where a chunk running past the end left the position, ends the loop.
    uint8_t header[ChunkReader::HeaderSize];
    const int32_t got = file.Read(header, ChunkReader::HeaderSize);
    if (got == 0 && file.BytesLeft() == 0) return true;
    if (got < ChunkReader::HeaderSize) {
      Err.Set(errors::FileAccess);
      return false;
    }
    uint32_t tag = 0;
    int32_t size = 0;
    ChunkReader::Decode(header, &tag, &size);
    if (size < 0) {
      Err.Set(errors::UnknownFileFormat);
      return false;
    }
    bool taken;
    if (tag == MapTag || tag == IconTag) {
      // The record readers take the header themselves; stepping back stays in the file's buffer.
      file.Seek(-ChunkReader::HeaderSize, File::FromCurrent);
      taken = tag == MapTag ? LoadMap(file) : LoadIcon(file);
    } else {
      file.Seek(size, File::FromCurrent);
      Err.CopyFrom(file.GetError());
      taken = !Err.Failed();
    }
    if (!taken) return false;
  }
}

bool MapLib::LoadMap(File& file) {
  auto map = MakeRef<Map>();
  map->Load(&file);
  Err.CopyFrom(map->GetError());
  if (Err.Failed()) return false;
  return AppendMap(*map);
}

bool MapLib::LoadIcon(File& file) {
  auto icon = MakeRef<Icon>();
  icon->Load(&file);
  Err.CopyFrom(icon->GetError());
  if (Err.Failed()) return false;
  if (!Icons) Icons = MakeRef<ObjectList>();
  if (!IconNames.Add(icon->NameChars(), icon.Get())) {
    Err.Set(errors::OutOfMemory);
    return false;
  }
  if (Icons->Insert(icon.Get(), -1)) return true;
  IconNames.Remove(icon->GetName(), icon.Get());  // no entry for an icon the list did not keep
  Err.Set(errors::OutOfMemory);
  return false;
}

Ref<Map> MapLib::NewMap(Text& name) {
  Err.Clear();
  if (GetMapByName(name)) {
    Err.Set(errors::MapExists);
    return {};
  }
  auto map = MakeRef<Map>(&name);
  if (!AppendMap(*map)) return {};
  return map;
}

Ref<Map> MapLib::GetMapByIndex(int32_t index) {
  Err.Clear();
  if (!Maps) return {};
  uint32_t id = Maps->IdAt(index);
  return id == 0 ? Ref<Map>() : RefAs<Map>(Maps->Find(id));
}

Ref<Map> MapLib::GetMapByName(const Text& name) {
  Err.Clear();
  return Ref<Map>::Retain(MapNames.Find(name));
}

Ref<Icon> MapLib::GetIconByIndex(int32_t index) {
  if (!Icons) return {};
  uint32_t id = Icons->IdAt(index);
  return id == 0 ? Ref<Icon>() : RefAs<Icon>(Icons->Find(id));
}

Ref<Icon> MapLib::FindIcon(const Text& name) {
  Err.Clear();
  return Ref<Icon>::Retain(IconNames.Find(name));
}

void MapLib::RemoveMap(Map* map) {
  Err.Clear();
  if (map == nullptr || !Maps) return;
  // The map's name is taken first: the list's reference may be the last one.
  Ref<Text> name = Ref<Text>::Adopt(map->GetName());
  if (!Maps->Remove(map->GetID())) return;
  if (MapNames.Remove(*name, map)) ReindexName(*name);
}

void MapLib::ReindexName(const Text& name) {
  // Only for names that several maps share, which real libraries do not have; a walk then.
  for (Ref<RefObject> entry = Maps->First(); entry; entry = Maps->Next()) {
    auto* other = static_cast<Map*>(entry.Get());
    Ref<Text> otherName = Ref<Text>::Adopt(other->GetName());
    if (otherName->Equals(&name)) return MapNames.Replace(name, other);
  }
}

}  // namespace velmira
