// Uninstalling a plug-in: deleting, below the game root, the files and folders its
// catalogue entry names. Runs on the plug-in page's uninstall button 按钮2.
#pragma once

#include <string>
#include <string_view>

#include "app/DiagnosticsLog.h"
#include "catalogue/Catalogue.h"
#include "catalogue/PluginPageView.h"
#include "platform/FileSystem.h"
#include "ui/PluginPageTexts.h"

namespace velmora {

enum class UninstallOutcome {
  NotInstalled,   // probe path missing: its not-installed text, nothing deleted
  Removed,        // every path of the removal set is gone
  PartlyRemoved,  // some path could not be deleted; the user was told so
  Busy,           // another program is changing the game folder: nothing deleted
};

// Not installed: shows the entry's not-installed text and deletes nothing.
// Installed: deletes the removal set in order (folders with everything below them,
// links as links, read-only items too), passing over what is missing, and the
// probe path last, once all the rest is gone; then shows the category's success
// text and sets the install caption back to "安装". When something could not be
// deleted the probe path stays, the user is told, and the caption stays "已安装".
UninstallOutcome Uninstall(FileSystem& fs, const std::string& programDir, const CatalogueEntry& entry,
                           PluginPageView& page, EventLog& log = NoLog());

}  // namespace velmora
