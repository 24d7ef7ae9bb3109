// Little-endian reads at an offset of a byte span, each refused when it would
// pass the end: the PE code reads nothing that it has not checked this way.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace velmora::pe {

inline bool Fits(std::span<const std::uint8_t> bytes, std::uint64_t offset, std::uint64_t size) {
  return offset <= bytes.size() && size <= bytes.size() - offset;
}

template <typename T>
std::optional<T> ReadLe(std::span<const std::uint8_t> bytes, std::uint64_t offset) {
  if (!Fits(bytes, offset, sizeof(T))) return std::nullopt;
  T v = 0;
  for (unsigned i = 0; i < sizeof(T); ++i) v |= static_cast<T>(static_cast<T>(bytes[offset + i]) << (8 * i));
  return v;
}
inline std::optional<std::uint16_t> Read16(std::span<const std::uint8_t> b, std::uint64_t at) {
  return ReadLe<std::uint16_t>(b, at);
}
inline std::optional<std::uint32_t> Read32(std::span<const std::uint8_t> b, std::uint64_t at) {
  return ReadLe<std::uint32_t>(b, at);
}
inline std::optional<std::uint64_t> Read64(std::span<const std::uint8_t> b, std::uint64_t at) {
  return ReadLe<std::uint64_t>(b, at);
}
// A pointer-sized field: 8 bytes in PE32+, 4 in PE32.
inline std::optional<std::uint64_t> ReadPointer(std::span<const std::uint8_t> b, std::uint64_t at, bool wide) {
  if (wide) return Read64(b, at);
  if (auto v = Read32(b, at)) return *v;
  return std::nullopt;
}

template <typename T>
bool WriteLe(std::span<std::uint8_t> bytes, std::uint64_t offset, T v) {
  if (!Fits(bytes, offset, sizeof(T))) return false;
  for (unsigned i = 0; i < sizeof(T); ++i) bytes[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
  return true;
}

// A NUL-terminated string of at most `maxLength` characters; nothing when the
// terminator is not found before the end or the limit.
inline std::optional<std::string_view> CString(std::span<const std::uint8_t> b, std::uint64_t at,
                                               std::size_t maxLength) {
  if (at >= b.size()) return std::nullopt;
  std::size_t limit = static_cast<std::size_t>(b.size() - at);
  if (limit > maxLength + 1) limit = maxLength + 1;
  const auto* start = reinterpret_cast<const char*>(b.data() + at);
  std::string_view window(start, limit);
  std::size_t end = window.find('\0');
  if (end == std::string_view::npos) return std::nullopt;
  return window.substr(0, end);
}

}  // namespace velmora::pe
