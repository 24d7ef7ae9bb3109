// glibc's iconv for the native build.
#include <iconv.h>

#include <cerrno>

#include "platform/Encoding.h"
#include "text/Text.h"

namespace velmora {
namespace {

bool Convert(const char* to, const char* from, std::string_view in, std::string& out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out.assign(in.size() * 2 + 16, '\0');
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  size_t done = 0;
  bool ok = true;
  while (srcLeft > 0) {
    char* dst = out.data() + done;
    size_t dstLeft = out.size() - done;
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    done = out.size() - dstLeft;
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) {
        out.resize(out.size() * 2);
        continue;
      }
      ok = false;  // EILSEQ or EINVAL: not valid text in the source encoding
      break;
    }
  }
  iconv_close(cd);
  out.resize(done);
  return ok;
}

}  // namespace

bool Gb18030ToUtf8(std::string_view gb, std::string& out) {
  return Convert("UTF-8", "GB18030", gb, out);
}

bool Utf8ToGb18030(std::string_view utf8, std::string& out) {
  if (!IsValidUtf8(utf8)) return false;
  return Convert("GB18030", "UTF-8", utf8, out);
}

}  // namespace velmora
