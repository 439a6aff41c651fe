// A small picture from a map library, drawn at its own pixel size with its top-left corner at
// the box's top-left corner. The map library's icons are templates read from the file; the
// icons the viewer places are copies that share the template's picture, name and file.
#pragma once

#include <cstdint>
#include <string_view>

#include "frame/Text.h"
#include "maps/Bitmap.h"
#include "maps/File.h"
#include "view/MapObject.h"

namespace velmira {

// The 66-byte icon record of a map library file (the first 66 bytes of a map record too).
// Little-endian and packed: the struct is the file layout.
struct __attribute__((packed)) IconRecord {
  static constexpr int TextSize = 16;

  uint16_t VersionMajor = 1;
  uint16_t VersionMinor = 0;
  uint8_t Unused4[4] = {};
  uint16_t Unused8 = 1;
  char Name[TextSize] = {};
  char SecondText[TextSize] = {};
  uint8_t Unused42[16] = {};
  int32_t Width = 0;   // pixels, for placement and hit tests
  int32_t Height = 0;
};
static_assert(sizeof(IconRecord) == 66);

class Icon final : public MapObject {
 public:
  // A record of version 1.0 and nothing else: no file, no picture, size 0 x 0.
  Icon() : MapObject(IconType) {}
  // A copy of a library icon: the record, size, name, file and picture position, and the
  // picture itself, shared (decoded here if the library icon had not decoded it yet, so all
  // copies of one library icon share one Bitmap). A failed decoding leaves the copy without
  // a picture and its error in the copy's record.
  explicit Icon(Icon& libraryIcon);

  // Drops the library file; a picture not decoded by now can no longer be.
  void Close() override;

  // Reads an icon chunk (header and record) at the file's position, keeps the file and the
  // position after the chunk, where the picture's chunks begin, and takes the size from the
  // record. Failures: 10005 "nvIcon: No file handler" without a file, 10013 for a chunk that
  // is not an icon chunk or too short for the record, the file's own error for a short read;
  // the icon then keeps no file.
  void Load(File* file);

  // The picture (no reference added), decoded from the library file at the first call. None
  // without a file (10015 "Maplib must be opened to do this operation") or when decoding
  // fails (the decoder's error).
  Bitmap* GetImage();

  // The record's name (never null; empty for a new icon).
  Text& GetName() const;
  // The name's bytes, without making the Text (a library's templates are only looked up).
  std::string_view NameChars() const;
  const IconRecord& Record() const { return Rec; }

  void Draw(DrawSurface& surface) override;

 private:
  void ReadRecord(File& file);

  Ref<File> LibraryFile;
  int64_t PicturePosition = 0;  // 64-bit: a library may pass 4 GiB
  IconRecord Rec;
  Ref<Bitmap> Image;
  // Made from the record on first request; none stands for the record's name.
  mutable Ref<Text> Name;
};

}  // namespace velmira
