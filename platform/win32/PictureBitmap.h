// Pictures on the screen: resource bytes, 32-bit bitmaps for AlphaBlend, and
// drawing a part of one. Windows-only. Decoding and scaling are portable
// (image/Picture.h); shell/Pictures.h joins the two.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "platform/win32/WinHandle.h"

namespace velmora::win32 {

// The bytes of the RCDATA resource `name` ("ICON_MZ") of a module (null: the
// program); empty when there is none. Resources stay mapped while the module
// is loaded, so the view needs no owner.
std::string_view ResourceBytes(std::string_view name, HMODULE module = nullptr);

// A top-down 32-bit DIB section of width x height from rows of straight-alpha
// B, G, R, A bytes (width * height * 4 of them), premultiplied as AlphaBlend
// wants; empty when the size is not positive or GDI refuses.
BitmapHandle PremultipliedBitmap(int width, int height, const uint8_t* bgra);

// Blends the part (sourceX, sourceY, width, height) of such a bitmap 1:1 onto dc
// at (x, y), with its per-pixel alpha: one state of a button's face strip, say.
bool DrawBitmapPart(HDC dc, HBITMAP bitmap, int sourceX, int sourceY, int width, int height, int x, int y);

}  // namespace velmora::win32
