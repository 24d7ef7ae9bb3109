#include "platform/win32/PictureBitmap.h"

#include <cstring>

#include "platform/win32/WinText.h"

namespace velmora::win32 {

std::string_view ResourceBytes(std::string_view name, HMODULE module) {
  if (!module) module = GetModuleHandleW(nullptr);
  const std::wstring wide = Wide(name);
  HRSRC found = FindResourceW(module, wide.c_str(), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (!found) return {};
  HGLOBAL loaded = LoadResource(module, found);
  const DWORD size = SizeofResource(module, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data || size == 0) return {};
  return {static_cast<const char*>(data), size};
}

BitmapHandle PremultipliedBitmap(int width, int height, const uint8_t* bgra) {
  if (width < 1 || height < 1 || !bgra) return {};
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows, as decoded
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  BitmapHandle bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || !bits) return {};
  auto* out = static_cast<uint8_t*>(bits);
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  for (size_t i = 0; i < count; ++i, out += 4, bgra += 4) {
    const unsigned a = bgra[3];
    for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>((bgra[c] * a + 127) / 255);
    out[3] = static_cast<uint8_t>(a);
  }
  GdiFlush();  // the bits were written behind GDI's back
  return bitmap;
}

bool DrawBitmapPart(HDC dc, HBITMAP bitmap, int sourceX, int sourceY, int width, int height, int x, int y) {
  if (!dc || !bitmap || width < 1 || height < 1) return false;
  MemoryDc source(CreateCompatibleDC(dc));
  if (!source) return false;
  Selection selected(source.Get(), bitmap);
  if (!selected.Valid()) return false;
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  // GdiAlphaBlend is AlphaBlend itself, exported by gdi32 (msimg32's AlphaBlend
  // forwards to it), so the program needs no further DLL.
  return GdiAlphaBlend(dc, x, y, width, height, source.Get(), sourceX, sourceY, width, height, blend) != FALSE;
}

}  // namespace velmora::win32
