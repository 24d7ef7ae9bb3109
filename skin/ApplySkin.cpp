#include "skin/ApplySkin.h"

#include <string>

namespace velmora {

AppliedSkin ApplySkin(const CarriedSkin& carried, SkinLoader load, EventLog& log) {
  AppliedSkin applied;
  applied.library = load(carried.library);
  if (!applied.library) {
    log.Write("start: skin library not mapped; going on without the skin");
    return applied;
  }
  auto attach = reinterpret_cast<SkinAttachFunction>(applied.library->Find(kSkinAttachExport));
  if (!attach) {
    // A library without the export is of no use: unmapped again.
    applied.library.reset();
    applied.outcome = SkinOutcome::NoAttachExport;
    log.Write(std::string("start: skin library has no ") + kSkinAttachExport + "; going on without the skin");
    return applied;
  }
  // The skin is constant data of the build, far below INT_MAX.
  applied.attachResult = attach(carried.skin.data(), static_cast<int>(carried.skin.size()), kSkinPassword, kSkinHue,
                                kSkinSaturation, kSkinBrightness);
  applied.outcome = SkinOutcome::Attached;
  log.Write("start: skin attached, " + std::to_string(carried.skin.size()) + " bytes, " + kSkinAttachExport +
            " answered " + std::to_string(applied.attachResult));
  return applied;
}

}  // namespace velmora
