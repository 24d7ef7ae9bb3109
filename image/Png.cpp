// PNG through libpng's simplified API, which keeps libpng's setjmp error handling
// inside libpng and reports failure as a return value.
#include <png.h>

#include "image/Picture.h"
#include "image/PictureFormats.h"

namespace velmora {
namespace {

// Owns the decoder state behind a png_image (png_image_free is safe to repeat).
class PngReader {
 public:
  PngReader() { image_.version = PNG_IMAGE_VERSION; }
  PngReader(const PngReader&) = delete;
  PngReader& operator=(const PngReader&) = delete;
  ~PngReader() { png_image_free(&image_); }

  bool Begin(std::string_view bytes) {
    return !bytes.empty() && png_image_begin_read_from_memory(&image_, bytes.data(), bytes.size()) != 0;
  }
  png_image& image() { return image_; }

 private:
  png_image image_{};
};

// libpng's simplified reader stops after the image data; a file must still end
// with its end chunk, or it was cut short.
bool EndsWithIend(std::string_view bytes) {
  constexpr std::string_view kIend("\0\0\0\0IEND\xae\x42\x60\x82", 12);
  return bytes.size() >= kIend.size() && bytes.substr(bytes.size() - kIend.size()) == kIend;
}

bool WithinLimits(png_uint_32 width, png_uint_32 height) {
  return width >= 1 && height >= 1 && width <= static_cast<png_uint_32>(kMaxPictureSide) &&
         height <= static_cast<png_uint_32>(kMaxPictureSide);
}

}  // namespace

std::optional<PictureSize> PngSizeOf(std::string_view bytes) {
  PngReader reader;
  if (!reader.Begin(bytes) || !WithinLimits(reader.image().width, reader.image().height)) {
    return std::nullopt;
  }
  return PictureSize{static_cast<int>(reader.image().width), static_cast<int>(reader.image().height)};
}

std::optional<Picture> DecodePng(std::string_view bytes) {
  PngReader reader;
  if (!EndsWithIend(bytes) || !reader.Begin(bytes)) return std::nullopt;
  png_image& image = reader.image();
  if (!WithinLimits(image.width, image.height)) return std::nullopt;
  Picture picture;
  picture.width = static_cast<int>(image.width);
  picture.height = static_cast<int>(image.height);
  picture.hasAlpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;  // an alpha channel or tRNS
  image.format = PNG_FORMAT_BGRA;  // 8-bit sRGB, straight alpha
  picture.bgra.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, picture.bgra.data(), 0, nullptr)) return std::nullopt;
  return picture;
}

}  // namespace velmora
