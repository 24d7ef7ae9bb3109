// JPEG through libjpeg. libjpeg reports errors by calling error_exit, which must
// not return: it longjmps back into ReadJpeg, a frame that holds only C objects,
// so the jump passes over no destructor. The caller's Picture lives outside it.
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE

#include <jpeglib.h>

#include "image/Picture.h"
#include "image/PictureFormats.h"

namespace velmora {
namespace {

// Progressive files can hold any number of scans, each a pass over the whole
// picture; ours have one. A cap keeps a hostile file from taking minutes.
constexpr int kMaxScans = 64;

struct JpegFailure {
  jpeg_error_mgr manager;  // first, so libjpeg's err pointer leads back here
  std::jmp_buf jump;
};

[[noreturn]] void Fail(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegFailure*>(info->err)->jump, 1);
}

// A warning (level -1) means damaged data, such as a file cut short, which
// libjpeg would fill with grey: refuse it. Trace messages are ignored.
void OnMessage(j_common_ptr info, int level) {
  if (level < 0) Fail(info);
}

void OnProgress(j_common_ptr info) {
  if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxScans) Fail(info);
}

// Reads the header into *size and, unless out is null, the pixels into *out.
bool ReadJpeg(const unsigned char* data, unsigned long length, PictureSize* size, Picture* out) {
  jpeg_decompress_struct info{};
  JpegFailure failure{};
  jpeg_progress_mgr progress{};
  info.err = jpeg_std_error(&failure.manager);
  failure.manager.error_exit = Fail;
  failure.manager.emit_message = OnMessage;
  progress.progress_monitor = OnProgress;
  if (setjmp(failure.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  info.progress = &progress;
  jpeg_mem_src(&info, data, length);
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK || info.image_width < 1 || info.image_height < 1 ||
      info.image_width > static_cast<JDIMENSION>(kMaxPictureSide) ||
      info.image_height > static_cast<JDIMENSION>(kMaxPictureSide)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  size->width = static_cast<int>(info.image_width);
  size->height = static_cast<int>(info.image_height);
  if (!out) {
    jpeg_destroy_decompress(&info);
    return true;
  }
  // Grey and colour files convert to BGRA; CMYK ones do not and are refused.
  if (info.jpeg_color_space != JCS_GRAYSCALE && info.jpeg_color_space != JCS_YCbCr &&
      info.jpeg_color_space != JCS_RGB) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  info.out_color_space = JCS_EXT_BGRA;  // libjpeg-turbo; alpha bytes set to 255
  jpeg_start_decompress(&info);
  if (info.output_width != info.image_width || info.output_height != info.image_height ||
      info.output_components != 4) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  const size_t stride = static_cast<size_t>(info.output_width) * 4;
  out->bgra.resize(stride * info.output_height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = out->bgra.data() + stride * info.output_scanline;
    if (jpeg_read_scanlines(&info, &row, 1) != 1) {
      jpeg_destroy_decompress(&info);
      return false;
    }
  }
  jpeg_finish_decompress(&info);  // reads on to the end marker: a cut-off tail is a warning
  jpeg_destroy_decompress(&info);
  return true;
}

bool Read(std::string_view bytes, PictureSize* size, Picture* out) {
  // libjpeg counts in unsigned long, 32 bits on Windows.
  if (bytes.empty() || bytes.size() > (1u << 30)) return false;
  return ReadJpeg(reinterpret_cast<const unsigned char*>(bytes.data()),
                  static_cast<unsigned long>(bytes.size()), size, out);
}

}  // namespace

std::optional<PictureSize> JpegSizeOf(std::string_view bytes) {
  PictureSize size;
  if (!Read(bytes, &size, nullptr)) return std::nullopt;
  return size;
}

std::optional<Picture> DecodeJpeg(std::string_view bytes) {
  Picture picture;
  PictureSize size;
  if (!Read(bytes, &size, &picture)) return std::nullopt;
  picture.width = size.width;
  picture.height = size.height;
  return picture;
}

}  // namespace velmora
