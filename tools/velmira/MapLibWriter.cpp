#include "MapLibWriter.h"

#include <libdeflate.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

#include <sys/types.h>
#include <zlib.h>

namespace maplib {
namespace {

constexpr size_t HeaderSize = 40;
constexpr size_t CopyChunk = 1 << 16;
static_assert(sizeof(off_t) >= 8, "a map's tiles may pass 4 GiB");
constexpr int DefaultLevel = 6;  // zlib's default, which level -1 stands for

void Put16(uint8_t* at, uint16_t v) {
  at[0] = static_cast<uint8_t>(v);
  at[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* at, uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutDouble(uint8_t* at, double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  for (int i = 0; i < 8; ++i) at[i] = static_cast<uint8_t>(bits >> (8 * i));
}
void PutText(uint8_t* at, const std::string& text, size_t field) {
  std::memcpy(at, text.data(), std::min(text.size(), field - 1));  // the field keeps its NUL
}

bool KnownDepth(int32_t depth) {
  return depth == 1 || depth == 4 || depth == 8 || depth == 16 || depth == 24;
}

size_t PackedRowBytes(const PictureFormat& p) {
  return (static_cast<size_t>(p.Width) * p.BitsPerPixel + 7) / 8;
}
size_t PaddedRowBytes(const PictureFormat& p) {
  return (static_cast<size_t>(p.Width) * p.BitsPerPixel + 31) / 32 * 4;
}

}  // namespace

std::array<uint8_t, IconRecordSize> MakeIconRecord(const IconFields& f) {
  std::array<uint8_t, IconRecordSize> r{};
  Put16(&r[0], 1);
  Put16(&r[8], 1);
  PutText(&r[10], f.Name, 16);
  PutText(&r[26], f.SecondText, 16);
  Put32(&r[58], static_cast<uint32_t>(f.Width));
  Put32(&r[62], static_cast<uint32_t>(f.Height));
  return r;
}

std::array<uint8_t, MapRecordSize> MakeMapRecord(const MapFields& f) {
  std::array<uint8_t, MapRecordSize> r{};
  IconFields head{f.Name, "", f.Width, f.Height};
  auto first = MakeIconRecord(head);
  std::copy(first.begin(), first.end(), r.begin());
  Put16(&r[66], static_cast<uint16_t>(f.Datum));
  Put16(&r[68], static_cast<uint16_t>(f.Grid));
  PutText(&r[70], f.Zone, 12);
  PutDouble(&r[82], f.UOrigin);
  PutDouble(&r[90], f.VOrigin);
  PutDouble(&r[98], f.UPerX);
  PutDouble(&r[106], f.UPerY);
  PutDouble(&r[114], f.VPerX);
  PutDouble(&r[122], f.VPerY);
  Put16(&r[130], static_cast<uint16_t>(f.TileWidth));
  Put16(&r[132], static_cast<uint16_t>(f.TileHeight));
  return r;
}

MapLibWriter::~MapLibWriter() {
  if (Spool != nullptr) std::fclose(Spool);
  if (Out != nullptr) std::fclose(Out);
}

bool MapLibWriter::Fail(const std::string& message) {
  if (Error.empty()) Error = message;
  return false;
}

bool MapLibWriter::Put(const void* data, size_t size) {
  if (!Error.empty()) return false;
  if (Out == nullptr) return Fail("no file is being written");
  if (size > 0 && std::fwrite(data, 1, size, Out) != size) return Fail("cannot write the file");
  return true;
}

bool MapLibWriter::Create(const std::string& path) {
  Out = std::fopen(path.c_str(), "wb");
  if (Out == nullptr) return Fail("cannot create " + path);
  const uint8_t version[4] = {1, 0, 0, 0};
  return WriteChunk(Tag("KOLV"), version, sizeof version);
}

bool MapLibWriter::WriteChunk(uint32_t tag, const void* data, size_t size) {
  if (size > INT32_MAX) return Fail("chunk too large");
  uint8_t head[8];
  Put32(head, tag);
  Put32(head + 4, static_cast<uint32_t>(size));
  return Put(head, sizeof head) && Put(data, size);
}

bool MapLibWriter::WritePictureHead(const PictureFormat& p) {
  if (p.Width < 1 || p.Height < 1 || !KnownDepth(p.BitsPerPixel) || p.Palette.size() % 4 != 0 ||
      p.Palette.size() > 256 * 4) {
    return Fail("picture size, depth or palette not valid");
  }
  uint8_t head[HeaderSize + 8] = {};
  Put32(head, HeaderSize);
  Put32(head + 4, static_cast<uint32_t>(p.Width));
  Put32(head + 8, static_cast<uint32_t>(p.Height));
  Put16(head + 12, 1);
  Put16(head + 14, static_cast<uint16_t>(p.BitsPerPixel));
  const uint64_t imageSize = uint64_t{PaddedRowBytes(p)} * static_cast<uint64_t>(p.Height);
  Put32(head + 20, imageSize <= UINT32_MAX ? static_cast<uint32_t>(imageSize) : 0);
  Put32(head + 32, static_cast<uint32_t>(p.Palette.size() / 4));
  Put32(head + 40, p.Transparent);
  Put32(head + 44, p.TransparentIndex);
  return WriteChunk(Tag("PICH"), head, p.WithTransparency ? sizeof head : HeaderSize) &&
         WriteChunk(Tag("PICP"), p.Palette.data(), p.Palette.size());
}

bool MapLibWriter::AddIcon(const std::array<uint8_t, IconRecordSize>& record,
                           const PictureFormat& picture, const uint8_t* rowsTopDown,
                           size_t pitch) {
  if (!WriteChunk(Tag("ICOH"), record.data(), record.size()) || !WritePictureHead(picture)) {
    return false;
  }
  const size_t packed = PackedRowBytes(picture);
  const size_t stride = PaddedRowBytes(picture);
  std::vector<uint8_t> image(stride * picture.Height, 0);
  for (int32_t y = 0; y < picture.Height; ++y) {  // bottom-up in the stream
    std::memcpy(&image[stride * (picture.Height - 1 - y)], rowsTopDown + pitch * y, packed);
  }
  uLongf size = compressBound(image.size());
  Compressed.resize(size);
  if (compress2(Compressed.data(), &size, image.data(), image.size(), picture.Level) != Z_OK) {
    return Fail("cannot compress the icon");
  }
  return WriteChunk(Tag("PICD"), Compressed.data(), size);
}

bool MapLibWriter::BeginMap(const std::array<uint8_t, MapRecordSize>& record,
                            const PictureFormat& picture) {
  if (InMap) return Fail("a map is still open");
  if (!WriteChunk(Tag("MAPH"), record.data(), record.size()) || !WritePictureHead(picture)) {
    return false;
  }
  Spool = std::tmpfile();
  if (Spool == nullptr) return Fail("cannot make a temporary file");
  InMap = true;
  Picture = picture;
  RowBytes = PackedRowBytes(picture);
  TileRowBytes = static_cast<size_t>(TileSize) * picture.BitsPerPixel / 8;
  const size_t tilesAcross = (static_cast<size_t>(picture.Width) + TileSize - 1) / TileSize;
  BandPitch = tilesAcross * TileRowBytes;
  Band.assign(BandPitch * TileSize, 0xFF);
  BandRows = 0;
  RowsTaken = 0;
  Bands.clear();
  return true;
}

bool MapLibWriter::AddRows(const uint8_t* rowsTopDown, size_t pitch, int32_t count) {
  if (!Error.empty()) return false;
  if (!InMap) return Fail("no map is open");
  if (count < 0 || count > Picture.Height - RowsTaken) return Fail("more rows than the picture has");
  for (int32_t i = 0; i < count; ++i) {
    std::memcpy(&Band[BandPitch * BandRows], rowsTopDown + pitch * i, RowBytes);
    ++RowsTaken;
    if (++BandRows == TileSize && !CompressBand()) return false;
  }
  return true;
}

// Compresses every tile of the band (rows top-down in memory; each tile's stream starts with
// its bottom row) into the spool, and makes the band white again for the next one. libdeflate
// writes the same zlib streams as zlib in about half the time, which is most of a build's.
bool MapLibWriter::CompressBand() {
  const int level = Picture.Level < 0 ? DefaultLevel : Picture.Level;
  std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> z(
      libdeflate_alloc_compressor(level), libdeflate_free_compressor);
  if (!z) return Fail("cannot start compression");
  const size_t tileBytes = TileRowBytes * TileSize;
  std::vector<uint8_t> tile(tileBytes);
  Compressed.resize(libdeflate_zlib_compress_bound(z.get(), tileBytes));
  std::vector<TileSpan> spans;
  for (size_t x = 0; x < BandPitch; x += TileRowBytes) {
    for (int32_t k = 0; k < TileSize; ++k) {
      std::memcpy(&tile[TileRowBytes * k], &Band[BandPitch * (TileSize - 1 - k) + x], TileRowBytes);
    }
    const size_t size = libdeflate_zlib_compress(z.get(), tile.data(), tileBytes, Compressed.data(),
                                                 Compressed.size());
    if (size == 0) return Fail("cannot compress a tile");  // the bound makes this impossible
    const off_t at = ftello(Spool);  // 64-bit: the tiles of one map may pass 4 GiB
    if (at < 0 || std::fwrite(Compressed.data(), 1, size, Spool) != size) {
      return Fail("cannot write the temporary file");
    }
    spans.push_back({static_cast<uint64_t>(at), static_cast<uint32_t>(size)});
  }
  Bands.push_back(std::move(spans));
  std::fill(Band.begin(), Band.end(), 0xFF);
  BandRows = 0;
  return true;
}

bool MapLibWriter::EndMap() {
  if (!Error.empty()) return false;
  if (!InMap) return Fail("no map is open");
  if (RowsTaken != Picture.Height) return Fail("fewer rows than the picture has");
  if (BandRows > 0 && !CompressBand()) return false;
  std::vector<uint8_t> copy(CopyChunk);
  for (auto band = Bands.rbegin(); band != Bands.rend(); ++band) {  // bottom tile row first
    for (const TileSpan& tile : *band) {
      uint8_t head[8];
      Put32(head, Tag("PICD"));
      Put32(head + 4, tile.Size);
      if (!Put(head, sizeof head)) return false;
      if (fseeko(Spool, static_cast<off_t>(tile.Offset), SEEK_SET) != 0) {
        return Fail("cannot read the temporary file");
      }
      for (uint32_t left = tile.Size; left > 0;) {
        const size_t n = std::min<size_t>(left, CopyChunk);
        if (std::fread(copy.data(), 1, n, Spool) != n) return Fail("cannot read the temporary file");
        if (!Put(copy.data(), n)) return false;
        left -= static_cast<uint32_t>(n);
      }
    }
  }
  std::fclose(Spool);
  Spool = nullptr;
  Bands.clear();
  Band.clear();
  Band.shrink_to_fit();
  InMap = false;
  return true;
}

bool MapLibWriter::Close() {
  if (InMap) Fail("a map was not finished");
  if (Out != nullptr && std::fclose(Out) != 0) Fail("cannot write the file");
  Out = nullptr;
  return Error.empty();
}

}  // namespace maplib
