// RenderView output megapixels per second, on one thread (and, rated by wall time, on two),
// beside pixman's affine transform of the same 24-bit
// source into outputs of the same size (bilinear, and the separable box/box convolution at 4
// subsample bits: pixman's area-averaging filter), and beside a plain memcpy of the output;
// tile decoding in MB/s of pixels beside bare zlib inflating the same streams with the same
// 256 row-sized calls per tile.
#include <benchmark/benchmark.h>

#include <pixman.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "MapLibWriter.h"
#include "frame/Rect.h"
#include "frame/Text.h"
#include "maps/Bitmap.h"
#include "maps/ChunkReader.h"
#include "maps/File.h"
#include "platform/WorkerPool.h"

namespace {

using velmira::Bitmap;
using velmira::Ref;

constexpr int32_t SourceSide = 5000;  // room for a 1920 x 1080 view at zoom 0.5, turned 30 degrees

// Something like a scanned map: flat areas, edges and some noise.
uint8_t MapLike(int32_t x, int32_t y, int channel, std::mt19937& rng) {
  int v = ((x / 37 + y / 53) % 5) * 40 + channel * 20;
  if ((x + 2 * y) % 97 < 3) v = 30;
  if (rng() % 16 == 0) v += static_cast<int>(rng() % 32);
  return static_cast<uint8_t>(std::min(v, 255));
}

Bitmap& Source() {
  static Ref<Bitmap> source = [] {
    auto b = velmira::MakeRef<Bitmap>();
    b->Create(SourceSide, SourceSide, 24);
    std::mt19937 rng(7);
    for (int32_t y = 0; y < SourceSide; ++y) {
      uint8_t* row = b->Row(y);
      for (int32_t x = 0; x < SourceSide; ++x) {
        for (int c = 0; c < 3; ++c) row[3 * x + c] = MapLike(x, y, c, rng);
      }
    }
    return b;
  }();
  return *source;
}

struct ViewCase {
  int32_t Width, Height;
  float Zoom, Degrees;
};

// The view's top-left source pixel, chosen so that the view is centred on the source: moving
// right in the output moves (cos, sin) / zoom in the source, moving down (-sin, cos) / zoom.
void Origin(const ViewCase& v, int32_t* x, int32_t* y, double* c, double* s) {
  const double r = v.Degrees * M_PI / 180.0, inv = 1.0 / v.Zoom;
  *c = std::cos(r);
  *s = std::sin(r);
  const double hw = v.Width / 2.0 * inv, hh = v.Height / 2.0 * inv;
  *x = static_cast<int32_t>(SourceSide / 2.0 - (hw * *c - hh * *s));
  *y = static_cast<int32_t>(SourceSide / 2.0 - (hw * *s + hh * *c));
}

void SetRate(benchmark::State& state, const ViewCase& v) {
  state.SetItemsProcessed(state.iterations() * int64_t{v.Width} * v.Height);
  state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * v.Width *
                                                   v.Height / 1e6,
                                               benchmark::Counter::kIsRate);
}

// threads: how many the resampler may use (pixman works on one).
void RenderView(benchmark::State& state, ViewCase v, int32_t threads) {
  platform::WorkerPool::Shared().SetThreads(threads);
  Bitmap& src = Source();
  int32_t x, y;
  double c, s;
  Origin(v, &x, &y, &c, &s);
  const float rotation = static_cast<float>(v.Degrees * M_PI / 180.0);
  int64_t white = 0;
  for (auto _ : state) {
    Bitmap* out = src.RenderView(x, y, v.Width, v.Height, v.Zoom, rotation);
    benchmark::DoNotOptimize(out->Pixels());
    if (state.iterations() == 1) {
      for (int32_t j = 0; j < v.Height; ++j) {
        for (int32_t i = 0; i < v.Width; ++i) white += out->Row(j)[3 * i + 1] == 0xFF;
      }
    }
    velmira::ReleaseObject(out);
  }
  platform::WorkerPool::Shared().SetThreads(0);
  SetRate(state, v);
  state.counters["white%"] = 100.0 * static_cast<double>(white) / (double(v.Width) * v.Height);
}

enum class PixmanFilter { Bilinear, Box };

void Pixman(benchmark::State& state, ViewCase v, PixmanFilter filter) {
  Bitmap& src = Source();
  int32_t x, y;
  double c, s;
  Origin(v, &x, &y, &c, &s);
  pixman_image_t* source = pixman_image_create_bits(
      PIXMAN_r8g8b8, src.Width(), src.Height(), reinterpret_cast<uint32_t*>(src.Pixels()),
      src.Stride());
  const int32_t stride = ((24 * v.Width + 31) / 32) * 4;
  std::vector<uint32_t> outBits(static_cast<size_t>(stride) * v.Height / 4);
  pixman_image_t* dest =
      pixman_image_create_bits(PIXMAN_r8g8b8, v.Width, v.Height, outBits.data(), stride);
  // Destination to source: the same footprint origins as the view.
  const double inv = 1.0 / v.Zoom;
  pixman_transform_t t;
  pixman_transform_init_identity(&t);
  t.matrix[0][0] = pixman_double_to_fixed(c * inv);
  t.matrix[0][1] = pixman_double_to_fixed(-s * inv);
  t.matrix[0][2] = pixman_double_to_fixed(x);
  t.matrix[1][0] = pixman_double_to_fixed(s * inv);
  t.matrix[1][1] = pixman_double_to_fixed(c * inv);
  t.matrix[1][2] = pixman_double_to_fixed(y);
  pixman_image_set_transform(source, &t);
  if (filter == PixmanFilter::Bilinear) {
    pixman_image_set_filter(source, PIXMAN_FILTER_BILINEAR, nullptr, 0);
  } else {
    int n = 0;
    pixman_fixed_t* params = pixman_filter_create_separable_convolution(
        &n, pixman_double_to_fixed(inv), pixman_double_to_fixed(inv), PIXMAN_KERNEL_BOX,
        PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX, 4, 4);
    pixman_image_set_filter(source, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params, n);
    free(params);
  }
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_SRC, source, nullptr, dest, 0, 0, 0, 0, 0, 0, v.Width,
                             v.Height);
    benchmark::DoNotOptimize(outBits.data());
  }
  pixman_image_unref(dest);
  pixman_image_unref(source);
  SetRate(state, v);
}

void Memcpy(benchmark::State& state, ViewCase v) {
  const size_t bytes = static_cast<size_t>(((24 * v.Width + 31) / 32) * 4) * v.Height;
  std::vector<uint8_t> out(bytes);
  Bitmap& src = Source();
  for (auto _ : state) {
    std::memcpy(out.data(), src.Pixels(), bytes);
    benchmark::DoNotOptimize(out.data());
  }
  SetRate(state, v);
}

const ViewCase Views[] = {
    {640, 480, 1.0f, 0.0f},   {640, 480, 1.5f, 30.0f},   {640, 480, 0.5f, 30.0f},
    {1920, 1080, 1.0f, 0.0f}, {1920, 1080, 1.5f, 30.0f}, {1920, 1080, 0.5f, 30.0f},
};

std::string Name(const char* what, const ViewCase& v) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%s/%dx%d/zoom%.1f/rot%.0f", what, v.Width, v.Height, v.Zoom,
                v.Degrees);
  return buf;
}

// Tiles: a 24-bit map picture of 8 x 4 tiles written by the map library writer.
constexpr int32_t TilesAcross = 8, TileRows = 4;

struct TileFile {
  std::string Path;
  std::vector<std::vector<uint8_t>> Streams;  // the data chunks, bottom tile row first
  TileFile() {
    Path = "/tmp/velmira_bench_tiles_" + std::to_string(::getpid());
    const int32_t w = TilesAcross * 256, h = TileRows * 256;
    maplib::MapLibWriter writer;
    maplib::MapFields fields;
    fields.Width = w;
    fields.Height = h;
    maplib::PictureFormat format;
    format.Width = w;
    format.Height = h;
    writer.Create(Path);
    writer.BeginMap(maplib::MakeMapRecord(fields), format);
    std::vector<uint8_t> row(static_cast<size_t>(w) * 3);
    std::mt19937 rng(3);
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        for (int c = 0; c < 3; ++c) row[3 * x + c] = MapLike(x, y, c, rng);
      }
      writer.AddRows(row.data(), row.size(), 1);
    }
    writer.EndMap();
    if (!writer.Close()) std::fprintf(stderr, "writer: %s\n", writer.ErrorText().c_str());
    auto file = Open();
    velmira::ChunkReader reader;
    for (int i = 0; i < 3; ++i) reader.SkipChunk(*file);  // header, record, picture header
    reader.SkipChunk(*file);                               // palette
    uint32_t tag;
    int32_t size;
    while (!file->AtEnd() && reader.ReadHeader(*file, &tag, &size)) {
      Streams.emplace_back(static_cast<size_t>(size));
      file->Read(Streams.back().data(), size);
    }
  }
  ~TileFile() { std::remove(Path.c_str()); }
  Ref<velmira::File> Open() const {
    auto f = velmira::MakeRef<velmira::File>();
    velmira::Text name(Path.c_str());
    f->Open(name, velmira::File::ReadMode);
    return f;
  }
};

const TileFile& Tiles() {
  static TileFile tiles;
  return tiles;
}

constexpr double TileBytes = TilesAcross * TileRows * 256.0 * 256.0 * 3.0;

void ReadTiles(benchmark::State& state) {
  const TileFile& tiles = Tiles();
  auto file = tiles.Open();
  velmira::ChunkReader reader;
  for (auto _ : state) {
    file->Seek(0, velmira::File::FromStart);
    reader.SkipChunk(*file);
    reader.SkipChunk(*file);
    Bitmap region;
    region.ReadTiles(*file, velmira::Rect(0, 0, TilesAcross, TileRows),
                     velmira::Rect(0, 0, TilesAcross, TileRows));
    benchmark::DoNotOptimize(region.Pixels());
  }
  state.counters["MB/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * TileBytes / 1e6,
                         benchmark::Counter::kIsRate);
}

void BareZlib(benchmark::State& state) {
  const TileFile& tiles = Tiles();
  const size_t tileRow = 256 * 3, stride = tileRow * TilesAcross;
  std::vector<uint8_t> region(stride * 256 * TileRows);
  for (auto _ : state) {
    size_t n = 0;
    for (int32_t r = 0; r < TileRows; ++r) {
      for (int32_t c = 0; c < TilesAcross; ++c, ++n) {
        z_stream z{};
        z.next_in = const_cast<uint8_t*>(tiles.Streams[n].data());
        z.avail_in = static_cast<uInt>(tiles.Streams[n].size());
        inflateInit(&z);
        uint8_t* at = region.data() + stride * 256 * r + tileRow * c;
        for (int k = 0; k < 256; ++k, at += stride) {
          z.next_out = at;
          z.avail_out = static_cast<uInt>(tileRow);
          inflate(&z, Z_SYNC_FLUSH);
        }
        inflateEnd(&z);
      }
    }
    benchmark::DoNotOptimize(region.data());
  }
  state.counters["MB/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * TileBytes / 1e6,
                         benchmark::Counter::kIsRate);
}

int Register() {
  for (const ViewCase& v : Views) {
    benchmark::RegisterBenchmark(Name("RenderView", v).c_str(), RenderView, v, 1)->Unit(benchmark::kMillisecond);
    if (v.Zoom != 1.0f) {
      benchmark::RegisterBenchmark(Name("RenderView2", v).c_str(), RenderView, v, 2)
          ->UseRealTime()
          ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark(Name("PixmanBilinear", v).c_str(), Pixman, v, PixmanFilter::Bilinear)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(Name("PixmanBox4", v).c_str(), Pixman, v, PixmanFilter::Box)
        ->Unit(benchmark::kMillisecond);
    if (v.Zoom == 1.0f) {
      benchmark::RegisterBenchmark(Name("Memcpy", v).c_str(), Memcpy, v)->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::RegisterBenchmark("Tiles/ReadTiles/8x4x24bit", ReadTiles)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Tiles/BareZlib/8x4x24bit", BareZlib)->Unit(benchmark::kMillisecond);
  return 0;
}

const int Registered = Register();

}  // namespace

BENCHMARK_MAIN();
