// Both picture decoders on arbitrary bytes: no crash, no leak, and whatever
// decodes is within the size limit, holds exactly its pixels, agrees with its
// header and survives the scaler.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "image/Picture.h"

namespace {

void Require(bool ok) {
  if (!ok) std::abort();
}

void Check(const std::optional<velmora::Picture>& p, std::string_view bytes, bool png) {
  if (!p) return;
  Require(p->width >= 1 && p->height >= 1 && p->width <= velmora::kMaxPictureSide &&
          p->height <= velmora::kMaxPictureSide);
  Require(p->bgra.size() == static_cast<size_t>(p->width) * static_cast<size_t>(p->height) * 4);
  std::optional<velmora::PictureSize> size = velmora::PictureSizeOf(bytes);
  Require(size && size->width == p->width && size->height == p->height);
  if (!png) {
    Require(!p->hasAlpha);
    for (size_t i = 3; i < p->bgra.size(); i += 4) Require(p->bgra[i] == 255);
  }
  velmora::Picture small = velmora::Resized(*p, 7, 5);
  Require(small.width == 7 && small.height == 5 && small.bgra.size() == 7 * 5 * 4);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Check(velmora::DecodePng(bytes), bytes, true);
  Check(velmora::DecodeJpeg(bytes), bytes, false);
  velmora::PictureSizeOf(bytes);
  return 0;
}
