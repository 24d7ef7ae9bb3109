#include "app/AppServices_win.h"

#include "BuildConfig.h"
#include "catalogue/PluginPage_win.h"
#include "net/WinInetApi.h"

namespace velmora {

AppServices::AppServices(std::string dir)
    : programDir(std::move(dir)),
      fs(NativeFileSystem()),
      downloader(SystemWinInet(), fs, config::kToolHost, config::kToolPort, EnvironmentText("tmp")),
      pluginPages(std::make_unique<PluginPages>(*this)) {}

AppServices::~AppServices() = default;

}  // namespace velmora
