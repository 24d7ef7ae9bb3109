#include "image/Picture.h"

#include <algorithm>

#include "image/PictureFormats.h"

namespace velmora {
namespace {

bool IsPng(std::string_view bytes) { return bytes.substr(0, 8) == std::string_view("\x89PNG\r\n\x1a\n", 8); }
bool IsJpeg(std::string_view bytes) { return bytes.substr(0, 3) == std::string_view("\xff\xd8\xff", 3); }

// One target pixel along an axis covers source pixels first..first+weights-1 by
// these amounts, in units of 1/target of a source pixel; they add up to `source`.
struct Cover {
  int first = 0;
  std::vector<uint32_t> weights;
};

std::vector<Cover> Covers(int source, int target) {
  std::vector<Cover> covers(static_cast<size_t>(target));
  const int64_t s = source, t = target;
  for (int64_t i = 0; i < t; ++i) {
    const int64_t begin = i * s, end = (i + 1) * s;  // in units of 1/t
    Cover& c = covers[static_cast<size_t>(i)];
    c.first = static_cast<int>(begin / t);
    for (int64_t j = c.first; j * t < end; ++j) {
      c.weights.push_back(static_cast<uint32_t>(std::min(end, (j + 1) * t) - std::max(begin, j * t)));
    }
  }
  return covers;
}

uint8_t Rounded(uint64_t numerator, uint64_t denominator) {
  return static_cast<uint8_t>((numerator + denominator / 2) / denominator);
}

}  // namespace

std::optional<Picture> DecodePicture(std::string_view bytes) {
  if (IsPng(bytes)) return DecodePng(bytes);
  if (IsJpeg(bytes)) return DecodeJpeg(bytes);
  return std::nullopt;
}

std::optional<PictureSize> PictureSizeOf(std::string_view bytes) {
  if (IsPng(bytes)) return PngSizeOf(bytes);
  if (IsJpeg(bytes)) return JpegSizeOf(bytes);
  return std::nullopt;
}

Picture Resized(const Picture& source, int width, int height) {
  const auto sw = static_cast<size_t>(source.width), sh = static_cast<size_t>(source.height);
  if (source.width < 1 || source.height < 1 || source.bgra.size() != sw * sh * 4 || width < 1 ||
      height < 1 || width > kMaxPictureSide || height > kMaxPictureSide) {
    return {};
  }
  if (width == source.width && height == source.height) return source;
  const auto tw = static_cast<size_t>(width), th = static_cast<size_t>(height);
  const std::vector<Cover> across = Covers(source.width, width);
  const std::vector<Cover> down = Covers(source.height, height);

  // Across each source row: sums of weight x colour x alpha and weight x alpha.
  std::vector<uint64_t> rows(sh * tw * 4);
  for (size_t y = 0; y < sh; ++y) {
    const uint8_t* in = source.bgra.data() + y * sw * 4;
    uint64_t* out = rows.data() + y * tw * 4;
    for (size_t x = 0; x < tw; ++x, out += 4) {
      const Cover& c = across[x];
      for (size_t k = 0; k < c.weights.size(); ++k) {
        const uint8_t* p = in + (static_cast<size_t>(c.first) + k) * 4;
        const uint64_t wa = uint64_t{c.weights[k]} * p[3];
        out[0] += wa * p[0];
        out[1] += wa * p[1];
        out[2] += wa * p[2];
        out[3] += wa;
      }
    }
  }
  Picture result;
  result.width = width;
  result.height = height;
  result.hasAlpha = source.hasAlpha;
  result.bgra.resize(tw * th * 4);
  const uint64_t area = uint64_t{sw} * sh;  // all weights of one target pixel, in both units
  for (size_t y = 0; y < th; ++y) {
    const Cover& c = down[y];
    for (size_t x = 0; x < tw; ++x) {
      uint64_t sum[4] = {0, 0, 0, 0};
      for (size_t k = 0; k < c.weights.size(); ++k) {
        const uint64_t* r = rows.data() + ((static_cast<size_t>(c.first) + k) * tw + x) * 4;
        for (int ch = 0; ch < 4; ++ch) sum[ch] += c.weights[k] * r[ch];
      }
      uint8_t* out = result.bgra.data() + (y * tw + x) * 4;
      out[3] = Rounded(sum[3], area);
      // Back to straight alpha: colour weighted by coverage and alpha together.
      for (int ch = 0; ch < 3; ++ch) out[ch] = sum[3] ? Rounded(sum[ch], sum[3]) : 0;
    }
  }
  return result;
}

std::optional<Picture> PictureForSize(std::string_view oneX, std::string_view twoX, int width, int height) {
  std::optional<PictureSize> size = PictureSizeOf(oneX);
  if (!size) return std::nullopt;
  const bool fits = width <= size->width && height <= size->height;
  std::optional<Picture> picture = DecodePicture(fits || twoX.empty() ? oneX : twoX);
  if (!picture) return std::nullopt;
  Picture scaled = Resized(*picture, width, height);
  if (scaled.bgra.empty()) return std::nullopt;
  return scaled;
}

}  // namespace velmora
