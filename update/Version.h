// Program versions as the announcement page writes them: dotted decimal numbers
// ("1.1.2"), compared number by number, so "1.1.10" is newer than "1.1.9".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class Version {
 public:
  // One or more runs of ASCII digits joined by single dots, nothing else; leading
  // zeros are allowed ("1.01" is "1.1"). Anything else is no version.
  static std::optional<Version> Parse(std::string_view text);

  // Negative, zero or positive as a is older than, equal to or newer than b.
  // Missing trailing numbers count as 0: "1.1" equals "1.1.0".
  friend int Compare(const Version& a, const Version& b);
  friend bool operator==(const Version& a, const Version& b) { return Compare(a, b) == 0; }
  friend bool operator<(const Version& a, const Version& b) { return Compare(a, b) < 0; }

  const std::string& text() const { return text_; }

 private:
  std::string text_;
  // Each number without its leading zeros, so numbers of any length compare
  // without overflow: first by length, then digit by digit.
  std::vector<std::string> numbers_;
};

}  // namespace velmora
