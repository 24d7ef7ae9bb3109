// The header readers of each format, for Picture.cpp's dispatch (internal to image/).
#pragma once

#include <optional>
#include <string_view>

#include "image/Picture.h"

namespace velmora {

std::optional<PictureSize> PngSizeOf(std::string_view bytes);
std::optional<PictureSize> JpegSizeOf(std::string_view bytes);

}  // namespace velmora
