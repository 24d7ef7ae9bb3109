// Paths below the game root and the installed test. Every path the catalogue names
// is "\profile\..." appended as text to the game root; nothing outside the game
// root is looked at or touched, not even through a link inside it.
#pragma once

#include <string>
#include <string_view>

#include "catalogue/Catalogue.h"
#include "catalogue/PluginPageView.h"
#include "platform/FileSystem.h"

namespace velmora {

struct GamePath {
  std::string path;                    // game root + tail, as joined
  PathKind kind = PathKind::Missing;   // of the last component, not followed
};

// gameRoot + tail, with what is there. Reads as Missing when the game root is empty
// or no folder, when the tail is not a plain "\name\name..." path, when the path is
// absent, and when a folder on the way down is a link (it would lead out of the
// game root). The last component may itself be a link: it is reported as Link.
GamePath FindBelowGameRoot(FileSystem& fs, const std::string& gameRoot, std::string_view tail);

// True while the entry's probe path exists below the game root, read afresh from
// the settings file in programDir.
bool IsInstalled(FileSystem& fs, const std::string& programDir, const CatalogueEntry& entry);

// A plug-in page's install button: "已安装" while installed, otherwise "安装".
void ShowInstallState(FileSystem& fs, const std::string& programDir, const CatalogueEntry& entry,
                      PluginPageView& page);

}  // namespace velmora
