// Decoded pictures: PNG (libpng) and JPEG (libjpeg) into 32-bit pixels, the
// choice between a picture and its version drawn at twice the size, and an area
// filter that scales them. Portable; the Win32 bitmaps are made in the shell.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace velmora {

// Larger pictures are refused from their header, before any large allocation;
// the program's own are at most 810 x 490.
inline constexpr int kMaxPictureSide = 2048;

// Rows top-down, 4 bytes per pixel in the order B, G, R, A, alpha not
// premultiplied. hasAlpha: the file carries transparency (a JPEG never does; its
// alpha bytes are all 255).
struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> bgra;
  bool hasAlpha = false;
};

struct PictureSize {
  int width = 0, height = 0;
};

// Nothing for a damaged, truncated or oversized file, or one of another kind; a
// JPEG whose data libjpeg would only warn about counts as damaged.
std::optional<Picture> DecodePng(std::string_view bytes);
std::optional<Picture> DecodeJpeg(std::string_view bytes);
// Either, told apart by the signature.
std::optional<Picture> DecodePicture(std::string_view bytes);
// The size from the header alone (nothing when the header is unusable or the
// size is beyond kMaxPictureSide).
std::optional<PictureSize> PictureSizeOf(std::string_view bytes);

// Area averaging in premultiplied alpha, exact (every source pixel weighs by the
// part of it a target pixel covers): 2x to 1x averages 2 x 2 blocks, 2x to 1.5x
// 4:3. A strip of equal frames stacked top to bottom (a button's states) scaled
// to a whole number of rows per frame keeps every frame apart: no target row
// straddles two frames. Enlarging works too, but blockily. An empty picture for an empty source
// or a target size outside 1..kMaxPictureSide.
Picture Resized(const Picture& source, int width, int height);

// The picture for a target size from a picture (oneX) and its version drawn at
// twice the size (twoX, may be empty): the 1x when the target is no larger than
// it, otherwise the 2x, scaled to exactly the target.
std::optional<Picture> PictureForSize(std::string_view oneX, std::string_view twoX, int width, int height);

}  // namespace velmora
