#include "shell/AppServices.h"

#include "BuildConfig.h"
#include "platform/Environment.h"
#include "platform/WinInet.h"
#include "shell/PluginPage.h"

namespace velmora {

AppServices::AppServices(std::string dir)
    : programDir(std::move(dir)),
      fs(NativeFileSystem()),
      downloader(SystemWinInet(), fs, config::kToolHost, config::kToolPort, EnvironmentText("tmp")),
      pluginPages(std::make_unique<PluginPages>(*this)) {}

AppServices::~AppServices() = default;

}  // namespace velmora
