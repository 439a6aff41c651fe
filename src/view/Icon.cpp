#include "view/Icon.h"

#include <cstring>

#include "maps/ChunkReader.h"
#include "view/DrawSurface.h"

namespace velmira {
namespace {

// Text fields of a damaged file need not be terminated inside their field.
int FieldLength(const char* field) {
  const void* end = std::memchr(field, 0, IconRecord::TextSize);
  return end == nullptr ? IconRecord::TextSize
                        : static_cast<int>(static_cast<const char*>(end) - field);
}

Ref<Text> FieldText(const char* field) { return MakeRef<Text>(field, FieldLength(field)); }

}  // namespace

Icon::Icon(Icon& libraryIcon)
    : MapObject(IconType),
      LibraryFile(libraryIcon.LibraryFile),
      PicturePosition(libraryIcon.PicturePosition),
      Rec(libraryIcon.Rec),
      Name(Ref<Text>::Retain(&libraryIcon.GetName())) {
  Image = Ref<Bitmap>::Retain(libraryIcon.GetImage());
  Err.CopyFrom(libraryIcon.GetError());
  SetWidth(libraryIcon.GetWidth());
  SetHeight(libraryIcon.GetHeight());
}

void Icon::Close() {
  Err.Clear();
  LibraryFile.Reset();
  PicturePosition = 0;
}

void Icon::Load(File* file) {
  Err.Clear();
  if (file == nullptr) return Err.Set(errors::NoFileHandler);
  LibraryFile = Ref<File>::Retain(file);
  // A failed read may leave part of a record behind; the name stays the one it was.
  char oldName[IconRecord::TextSize];
  std::memcpy(oldName, Rec.Name, sizeof oldName);
  ReadRecord(*file);
  if (Err.Failed()) {
    if (!Name) Name = FieldText(oldName);
    const Error failure = Err;
    Close();  // keeps no file, and would clear the record
    Err = failure;
    return;
  }
  Name.Reset();
  SetWidth(Rec.Width);
  SetHeight(Rec.Height);
}

void Icon::ReadRecord(File& file) {
  auto reader = MakeRef<ChunkReader>();
  uint32_t tag = 0;
  int32_t size = 0;
  if (!reader->ReadHeader(file, &tag, &size)) return Err.CopyFrom(reader->GetError());
  constexpr int32_t recordSize = sizeof(IconRecord);
  // A shorter chunk would have us read the next chunk's bytes as the record.
  if (tag != ChunkTag("ICOH") || size < recordSize) return Err.Set(errors::UnknownFileFormat);
  file.Read(&Rec, recordSize);
  if (file.GetError().Failed()) return Err.CopyFrom(file.GetError());
  file.Seek(size - recordSize, File::FromCurrent);
  PicturePosition = file.Tell();
  Err.CopyFrom(file.GetError());
}

Text& Icon::GetName() const {
  if (!Name) Name = FieldText(Rec.Name);
  return *Name;
}

std::string_view Icon::NameChars() const {
  if (Name) return {Name->Chars(), static_cast<size_t>(Name->Length())};
  return {Rec.Name, static_cast<size_t>(FieldLength(Rec.Name))};
}

Bitmap* Icon::GetImage() {
  Err.Clear();
  if (Image) return Image.Get();
  if (!LibraryFile) {
    Err.Set(errors::MapLibMustBeOpen);
    return nullptr;
  }
  LibraryFile->Seek(PicturePosition, File::FromStart);
  Ref<Bitmap> picture = MakeRef<Bitmap>();
  picture->ReadPicture(*LibraryFile);
  if (picture->GetError().Failed()) {
    Err.CopyFrom(picture->GetError());
    return nullptr;
  }
  Image = picture;
  return Image.Get();
}

void Icon::Draw(DrawSurface& surface) {
  SetChanged(false);
  if (!Image) return Err.Clear();
  Ref<Point> p = SurfacePoint(GetLeft(), GetTop());
  surface.DrawBitmap(*Image, *p);
  Err.CopyFrom(surface.GetError());
}

}  // namespace velmira
