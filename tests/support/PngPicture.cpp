#include "support/PngPicture.h"

#include <png.h>

namespace testsupport {

Picture ReadPng(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
  image.format = PNG_FORMAT_RGB;
  Picture p{int32_t(image.width), int32_t(image.height), std::vector<Rgb>(size_t(image.width) * image.height)};
  return png_image_finish_read(&image, nullptr, p.Pixels.data(), 0, nullptr) ? p : Picture{};
}

}  // namespace testsupport
