// Writes the seed corpus of fuzz_maplib with the map library writer: small files that reach
// every chunk kind, picture depth and transparency. Run from the source tree:
//   build/fuzz/make_maplib_corpus fuzz/corpus/maplib
#include <cstdio>
#include <string>
#include <vector>

#include "MapLibWriter.h"

namespace {

struct Picture {
  maplib::PictureFormat Format;
  std::vector<uint8_t> Rows;  // top-down, packed
  size_t Pitch;
};

Picture Make(int32_t width, int32_t height, int32_t bits, bool transparent) {
  Picture p;
  p.Format.Width = width;
  p.Format.Height = height;
  p.Format.BitsPerPixel = bits;
  if (bits <= 8) {
    p.Format.Palette.resize((size_t{1} << bits) * 4);
    for (size_t i = 0; i < p.Format.Palette.size(); ++i) p.Format.Palette[i] = static_cast<uint8_t>(i * 37);
  }
  p.Format.WithTransparency = transparent;
  p.Format.Transparent = transparent ? 1 : 0;
  p.Format.TransparentIndex = 1;
  p.Format.Level = 9;
  p.Pitch = (static_cast<size_t>(width) * bits + 7) / 8;
  p.Rows.resize(p.Pitch * height);
  for (size_t i = 0; i < p.Rows.size(); ++i) p.Rows[i] = static_cast<uint8_t>(i * 7 / 5);
  return p;
}

bool AddMap(maplib::MapLibWriter& w, const std::string& name, const Picture& p) {
  maplib::MapFields f;
  f.Name = name;
  f.Width = p.Format.Width;
  f.Height = p.Format.Height;
  f.Datum = 1;
  f.UOrigin = 0.1, f.VOrigin = 0.9, f.UPerX = 1e-5, f.VPerY = -1e-5;
  return w.BeginMap(maplib::MakeMapRecord(f), p.Format) &&
         w.AddRows(p.Rows.data(), p.Pitch, p.Format.Height) && w.EndMap();
}

bool AddIcon(maplib::MapLibWriter& w, const std::string& name, const Picture& p) {
  return w.AddIcon(maplib::MakeIconRecord({name, "second", p.Format.Width, p.Format.Height}),
                   p.Format, p.Rows.data(), p.Pitch);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus directory>\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  using Fill = bool (*)(maplib::MapLibWriter&);
  const std::pair<const char*, Fill> seeds[] = {
      {"header_only", [](maplib::MapLibWriter&) { return true; }},
      {"map_24bit", [](maplib::MapLibWriter& w) { return AddMap(w, "rgb", Make(40, 30, 24, false)); }},
      {"map_8bit_two_tile_rows", [](maplib::MapLibWriter& w) { return AddMap(w, "pal", Make(20, 300, 8, false)); }},
      {"map_4bit_and_1bit", [](maplib::MapLibWriter& w) {
         return AddMap(w, "four", Make(30, 10, 4, false)) && AddMap(w, "one", Make(270, 9, 1, false));
       }},
      {"icons_and_maps_interleaved", [](maplib::MapLibWriter& w) {
         const uint8_t junk[3] = {1, 2, 3};
         return AddIcon(w, "pin", Make(9, 7, 8, true)) && w.WriteChunk(maplib::Tag("JUNK"), junk, 3) &&
                AddMap(w, "m", Make(16, 16, 24, false)) && AddIcon(w, "flag", Make(5, 5, 4, false));
       }},
  };
  int failed = 0;
  for (const auto& [name, fill] : seeds) {
    maplib::MapLibWriter w;
    if (!w.Create(dir + "/" + name) || !fill(w) || !w.Close()) {
      std::fprintf(stderr, "%s: %s\n", name, w.ErrorText().c_str());
      ++failed;
    }
  }
  return failed == 0 ? 0 : 1;
}
