#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "skin/ApplySkin.h"

namespace velmora {
namespace {

// What the stand-in library saw, and whether it is still mapped.
struct Seen {
  std::string library, skin;
  const char* password = "not given";
  int hue = -1, saturation = -1, brightness = -1;
  int libraries = 0;
};
Seen seen;

int VELMORA_SKIN_API Attach(const unsigned char* skin, int size, const char* password, int hue, int saturation,
                            int brightness) {
  seen.skin.assign(reinterpret_cast<const char*>(skin), static_cast<std::size_t>(size));
  seen.password = password;
  seen.hue = hue;
  seen.saturation = saturation;
  seen.brightness = brightness;
  return 7;
}

class FakeLibrary : public SkinLibrary {
 public:
  explicit FakeLibrary(bool exportsAttach) : exportsAttach_(exportsAttach) { ++seen.libraries; }
  ~FakeLibrary() override { --seen.libraries; }
  void* Find(const char* name) override {
    return exportsAttach_ && std::string(name) == "SkinH_AttachRes" ? reinterpret_cast<void*>(&Attach) : nullptr;
  }

 private:
  bool exportsAttach_;
};

std::unique_ptr<SkinLibrary> Load(std::span<const std::uint8_t> image) {
  seen.library.assign(reinterpret_cast<const char*>(image.data()), image.size());
  if (seen.library.starts_with("bad")) return nullptr;
  return std::make_unique<FakeLibrary>(!seen.library.starts_with("none"));
}

struct Lines : EventLog {
  std::vector<std::string> lines;
  void Write(std::string_view line) override { lines.emplace_back(line); }
};

CarriedSkin Carried(const std::string& library, const std::string& skin) {
  return {{reinterpret_cast<const std::uint8_t*>(library.data()), library.size()},
          {reinterpret_cast<const std::uint8_t*>(skin.data()), skin.size()}};
}

TEST(ApplySkin, MapsTheLibraryAndHandsTheSkinOverOrGoesOnWithout) {
  const std::string skin(".SHE\0\x01\xff tail", 11);
  seen = {};
  Lines log;
  AppliedSkin applied = ApplySkin(Carried("MZ library", skin), Load, log);
  EXPECT_EQ(applied.outcome, SkinOutcome::Attached);
  EXPECT_EQ(applied.attachResult, 7);
  EXPECT_EQ(seen.library, "MZ library");
  EXPECT_EQ(seen.skin, skin) << "every byte, NULs included";
  EXPECT_EQ(seen.password, nullptr) << "the carried skin has no password";
  EXPECT_EQ(std::vector<int>({seen.hue, seen.saturation, seen.brightness}), std::vector<int>({0, 0, 0}))
      << "the skin's own colours";
  EXPECT_EQ(seen.libraries, 1) << "the library stays mapped";
  applied = {};
  EXPECT_EQ(seen.libraries, 0);

  seen = {};
  applied = ApplySkin(Carried("bad image", skin), Load, log);
  EXPECT_EQ(applied.outcome, SkinOutcome::NotMapped);
  EXPECT_TRUE(seen.skin.empty());

  applied = ApplySkin(Carried("none exported", skin), Load, log);
  EXPECT_EQ(applied.outcome, SkinOutcome::NoAttachExport);
  EXPECT_EQ(seen.libraries, 0) << "a library without the attach is unmapped again";
  EXPECT_TRUE(seen.skin.empty());
  EXPECT_EQ(log.lines, (std::vector<std::string>{
                           "start: skin attached, 11 bytes, SkinH_AttachRes answered 7",
                           "start: skin library not mapped; going on without the skin",
                           "start: skin library has no SkinH_AttachRes; going on without the skin"}));
}

}  // namespace
}  // namespace velmora
