#include "shell/Pictures.h"

#include <string>

#include "image/Picture.h"

namespace velmora {

BitmapHandle LoadPictureBitmap(std::string_view name, int width, int height) {
  const std::string_view oneX = win32::ResourceBytes(name);
  const std::string_view twoX = win32::ResourceBytes(std::string(name) + "_2X");
  std::optional<Picture> picture = PictureForSize(oneX, twoX, width, height);
  if (!picture) return {};
  return win32::PremultipliedBitmap(picture->width, picture->height, picture->bgra.data());
}

}  // namespace velmora
