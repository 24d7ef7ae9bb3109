// The start-up duty that attaches the carried skin: map the carried skin
// library, look up its attach export and hand it the carried skin file. Only a
// build that carries a skin calls it (VELMORA_SKIN_LIBRARY); the mapping comes
// in through SkinLoader, the in-memory module loader in the program.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "app/DiagnosticsLog.h"

namespace velmora {

struct CarriedSkin {
  std::span<const std::uint8_t> library;  // the DLL image, byte for byte
  std::span<const std::uint8_t> skin;     // the library's own format; not read here
};

inline constexpr char kSkinAttachExport[] = "SkinH_AttachRes";

#if defined(_WIN32)
#define VELMORA_SKIN_API __stdcall
#else
#define VELMORA_SKIN_API
#endif
// The attach export as the library defines it. On x86 the callee pops its six
// arguments (stdcall): a call with any other prototype leaves the stack off.
// On x86-64 the convention is the one convention of the platform.
using SkinAttachFunction = int(VELMORA_SKIN_API*)(const unsigned char* skin, int size, const char* password,
                                                  int hue, int saturation, int brightness);
// The carried skin has no password; 0, 0, 0 keep the skin's own colours.
inline constexpr const char* kSkinPassword = nullptr;
inline constexpr int kSkinHue = 0, kSkinSaturation = 0, kSkinBrightness = 0;

// A mapped library; unmapped when it goes.
class SkinLibrary {
 public:
  virtual ~SkinLibrary() = default;
  virtual void* Find(const char* exportName) = 0;
};
using SkinLoader = std::unique_ptr<SkinLibrary> (*)(std::span<const std::uint8_t> image);

enum class SkinOutcome { Attached, NotMapped, NoAttachExport };

struct AppliedSkin {
  SkinOutcome outcome = SkinOutcome::NotMapped;
  int attachResult = 0;                  // what the library answered
  std::unique_ptr<SkinLibrary> library;  // keep while windows are drawn by it
};

// The outcome goes to `log` as one start-up line.
AppliedSkin ApplySkin(const CarriedSkin& carried, SkinLoader load, EventLog& log);

}  // namespace velmora
