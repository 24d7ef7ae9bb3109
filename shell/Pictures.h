// The program's pictures as bitmaps ready to draw: a picture resource decoded at
// the version nearest the target size and scaled to it exactly.
#pragma once

#include <string_view>

#include "platform/win32/PictureBitmap.h"

namespace velmora {

// The picture resource `name` ("ICON_MZ", "FACE_DETAILS", "PREVIEW_WGMZ"; its
// version drawn at twice the size is name + "_2X") as a premultiplied 32-bit
// top-down bitmap of exactly width x height device pixels: at 100% the 1x as
// it is, above that the 2x scaled down. For a face strip pass the whole strip's
// size (three states stacked: height = 3 x state height); each state keeps to
// its own rows. Empty when the resource is missing or broken. Draw parts with
// win32::DrawBitmapPart.
BitmapHandle LoadPictureBitmap(std::string_view name, int width, int height);

}  // namespace velmora
