#include "PngInput.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>

namespace cli {
namespace {

// Interlaced pictures are decoded whole; beyond this their rows would not fit comfortably.
constexpr size_t MaxInterlacedBytes = size_t{1} << 30;
constexpr size_t SignatureBytes = 8;

png_structp AsPng(void* p) { return static_cast<png_structp>(p); }
png_infop AsInfo(void* p) { return static_cast<png_infop>(p); }

// libpng reports failures by calling this and never returning: the message is kept for Error()
// and control goes back to the setjmp of the call in progress.
[[noreturn]] void OnPngError(png_structp png, png_const_charp message) {
  auto* text = static_cast<std::string*>(png_get_error_ptr(png));
  if (text != nullptr && text->empty()) *text = message;
  png_longjmp(png, 1);
}
void OnPngWarning(png_structp, png_const_charp) {}  // ancillary trouble: the pixels still come

// Colour c at alpha a over white, rounded.
uint8_t OverWhite(unsigned c, unsigned a) {
  return static_cast<uint8_t>((c * a + 255 * (255 - a) + 127) / 255);
}

}  // namespace

PngInput::~PngInput() {
  if (Png != nullptr) {
    png_structp png = AsPng(Png);
    png_infop info = AsInfo(Info);
    png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
  }
  if (File != nullptr) std::fclose(File);
}

bool PngInput::Fail(const std::string& message) {
  Message = Path + ": " + message;
  return false;
}

size_t PngInput::RowBytes() const { return (static_cast<size_t>(PictureWidth) * Depth + 7) / 8; }

bool PngInput::Open(const std::string& path, PaletteAlpha alpha) {
  Path = path;
  Alpha = alpha;
  File = std::fopen(path.c_str(), "rb");
  if (File == nullptr) return Fail(std::string("cannot open: ") + std::strerror(errno));
  png_byte signature[SignatureBytes];
  if (std::fread(signature, 1, SignatureBytes, File) != SignatureBytes ||
      png_sig_cmp(signature, 0, SignatureBytes) != 0) {
    return Fail("not a PNG picture");
  }
  Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &PngMessage, OnPngError, OnPngWarning);
  if (Png != nullptr) Info = png_create_info_struct(AsPng(Png));
  if (Png == nullptr || Info == nullptr) return Fail("out of memory");
  return Setup();
}

bool PngInput::Setup() {
  png_structp png = AsPng(Png);
  png_infop info = AsInfo(Info);
  if (setjmp(png_jmpbuf(png))) return Fail("damaged PNG picture (" + PngMessage + ")");
  png_init_io(png, File);
  png_set_sig_bytes(png, SignatureBytes);
  png_read_info(png, info);
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colourType = 0, interlace = 0;
  png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, &interlace, nullptr, nullptr);
  PictureWidth = static_cast<int32_t>(width);  // libpng keeps both below 2^31
  PictureHeight = static_cast<int32_t>(height);

  size_t decodedPixelBytes = 4;
  if (colourType == PNG_COLOR_TYPE_PALETTE) {
    png_colorp entries = nullptr;
    int count = 0;
    png_get_PLTE(png, info, &entries, &count);
    png_bytep alpha = nullptr;
    int alphaCount = 0;
    if (png_get_valid(png, info, PNG_INFO_tRNS)) {
      png_get_tRNS(png, info, &alpha, &alphaCount, nullptr);
    }
    std::vector<uint8_t> rgb;
    for (int i = 0; i < count; ++i) {
      rgb.insert(rgb.end(), {entries[i].red, entries[i].green, entries[i].blue});
    }
    TakePalette(rgb, alpha, alphaCount);
    png_set_packing(png);  // one index per byte
    decodedPixelBytes = 1;
  } else {
    Depth = 24;
    png_set_expand(png);  // small grey depths to 8 bits, tRNS to alpha
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);  // opaque pictures get alpha 255
  }
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  DecodedBytes = png_get_rowbytes(png, info);
  if (DecodedBytes != width * decodedPixelBytes) return Fail("unsupported PNG layout");
  Decoded.resize(DecodedBytes);
  if (passes > 1) {
    if (DecodedBytes * height > MaxInterlacedBytes) {
      return Fail("interlaced picture too large to read; save it without interlacing");
    }
    Whole.resize(DecodedBytes * height);
    for (int pass = 0; pass < passes; ++pass) {
      for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, &Whole[DecodedBytes * y], nullptr);
    }
  }
  return true;
}

void PngInput::TakePalette(const std::vector<uint8_t>& rgb, const uint8_t* alpha,
                           int alphaCount) {
  PngColours = static_cast<int>(rgb.size() / 3);
  Depth = PngColours <= 2 ? 1 : PngColours <= 16 ? 4 : 8;
  Colours.assign((size_t{1} << Depth) * 4, 0xFF);
  for (int i = 0; i < 256; ++i) Fold[i] = static_cast<uint8_t>(i);
  for (int i = 0; i < PngColours; ++i) {
    const unsigned a = i < alphaCount ? alpha[i] : 255;
    const uint8_t* in = &rgb[3 * static_cast<size_t>(i)];
    uint8_t* entry = &Colours[4 * static_cast<size_t>(i)];
    const bool exact = Alpha == PaletteAlpha::Key;
    entry[0] = exact ? in[2] : OverWhite(in[2], a);
    entry[1] = exact ? in[1] : OverWhite(in[1], a);
    entry[2] = exact ? in[0] : OverWhite(in[0], a);
    if (!exact || a != 0) continue;
    if (KeyIndex < 0) KeyIndex = i;
    Fold[i] = static_cast<uint8_t>(KeyIndex);
  }
  for (size_t i = 3; i < Colours.size(); i += 4) Colours[i] = 0;
  if (KeyIndex >= 0) KeepKeyApart();
}

// The icon is drawn transparent wherever a pixel has the key's colour, so an opaque entry of
// that colour (a black outline around a black-keyed picture, say) would vanish with it. The
// key then takes the first colour, from magenta on, that no opaque entry has.
void PngInput::KeepKeyApart() {
  auto colourOf = [&](int i) {
    const uint8_t* e = &Colours[4 * static_cast<size_t>(i)];
    return uint32_t{e[2]} << 16 | uint32_t{e[1]} << 8 | e[0];
  };
  auto taken = [&](uint32_t colour) {
    for (int i = 0; i < PngColours; ++i) {
      if (Fold[i] != KeyIndex && colourOf(i) == colour) return true;
    }
    return false;
  };
  if (!taken(colourOf(KeyIndex))) return;
  uint32_t colour = 0xFF00FF;
  for (uint32_t k = 1; taken(colour); ++k) colour = 0xFF00FF ^ k;  // at most 256 tries
  uint8_t* key = &Colours[4 * static_cast<size_t>(KeyIndex)];
  key[0] = static_cast<uint8_t>(colour);
  key[1] = static_cast<uint8_t>(colour >> 8);
  key[2] = static_cast<uint8_t>(colour >> 16);
}

bool PngInput::ReadRows(uint8_t* out, size_t pitch, int32_t count) {
  png_structp png = AsPng(Png);
  if (png == nullptr || !Message.empty()) return false;
  if (setjmp(png_jmpbuf(png))) return Fail("damaged PNG picture (" + PngMessage + ")");
  for (int32_t i = 0; i < count; ++i) {
    if (RowsRead >= PictureHeight) return Fail("no more rows");
    const uint8_t* row = Decoded.data();
    if (Whole.empty()) {
      png_read_row(png, Decoded.data(), nullptr);
    } else {
      row = &Whole[DecodedBytes * static_cast<size_t>(RowsRead)];
    }
    if (!ConvertRow(row, out + pitch * static_cast<size_t>(i))) return false;
    ++RowsRead;
  }
  return true;
}

bool PngInput::Finish() {
  png_structp png = AsPng(Png);
  if (png == nullptr || !Message.empty()) return false;
  if (RowsRead != PictureHeight) return Fail("rows left unread");
  if (setjmp(png_jmpbuf(png))) return Fail("damaged PNG picture (" + PngMessage + ")");
  png_read_end(png, nullptr);
  return true;
}

bool PngInput::ConvertRow(const uint8_t* in, uint8_t* out) {
  const size_t width = static_cast<size_t>(PictureWidth);
  if (Depth == 24) {
    for (size_t x = 0; x < width; ++x, in += 4, out += 3) {
      out[0] = OverWhite(in[2], in[3]);
      out[1] = OverWhite(in[1], in[3]);
      out[2] = OverWhite(in[0], in[3]);
    }
    return true;
  }
  std::memset(out, 0xFF, RowBytes());  // bits after the last pixel stay set
  for (size_t x = 0; x < width; ++x) {
    if (in[x] >= static_cast<unsigned>(PngColours)) {
      return Fail("pixel index " + std::to_string(in[x]) + " outside the palette of " +
                  std::to_string(PngColours) + " colours");
    }
    const unsigned index = Fold[in[x]];
    if (Depth == 8) {
      out[x] = static_cast<uint8_t>(index);
    } else if (Depth == 4) {
      const int shift = x % 2 == 0 ? 4 : 0;  // the even (left) column in the high nibble
      out[x / 2] = static_cast<uint8_t>((out[x / 2] & ~(0xF << shift)) | index << shift);
    } else {
      const unsigned bit = 0x80u >> (x % 8);  // the leftmost pixel in the top bit
      out[x / 8] = static_cast<uint8_t>(index != 0 ? out[x / 8] | bit : out[x / 8] & ~bit);
    }
  }
  return true;
}

}  // namespace cli
