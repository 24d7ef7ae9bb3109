#include "update/Version.h"

namespace velmora {

std::optional<Version> Version::Parse(std::string_view text) {
  Version v;
  size_t at = 0;
  for (;;) {
    size_t start = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
    if (at == start) return std::nullopt;  // empty number: "", ".1", "1..2", "1."
    std::string_view number = text.substr(start, at - start);
    size_t zeros = number.find_first_not_of('0');
    v.numbers_.emplace_back(zeros == std::string_view::npos ? std::string_view() : number.substr(zeros));
    if (at == text.size()) break;
    if (text[at] != '.') return std::nullopt;
    ++at;
  }
  v.text_ = std::string(text);
  return v;
}

int Compare(const Version& a, const Version& b) {
  static const std::string kZero;
  const size_t n = a.numbers_.size() > b.numbers_.size() ? a.numbers_.size() : b.numbers_.size();
  for (size_t i = 0; i < n; ++i) {
    const std::string& x = i < a.numbers_.size() ? a.numbers_[i] : kZero;
    const std::string& y = i < b.numbers_.size() ? b.numbers_[i] : kZero;
    if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
    if (int c = x.compare(y); c != 0) return c < 0 ? -1 : 1;
  }
  return 0;
}

}  // namespace velmora
