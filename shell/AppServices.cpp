#include "shell/AppServices.h"

#include "BuildConfig.h"
#include "platform/Environment.h"
#include "platform/WinInet.h"
#include "shell/PluginPage.h"

namespace velmora {
namespace {

DownloadSettings LoggedDownloads(EventLog& log) {
  DownloadSettings s;
  s.log = [&log](const std::string& line) { log.Write(line); };
  return s;
}

}  // namespace

AppServices::AppServices(std::string dir)
    : programDir(std::move(dir)),
      fs(NativeFileSystem()),
      log(fs, DiagnosticsLogPath(programDir)),
      wininet(SystemWinInet()),
      downloader(wininet, fs, config::kToolHost, config::kToolPort, EnvironmentText("tmp"),
                 LoggedDownloads(log)),
      updateTask(wininet, siteWorker, ui),
      pluginPages(std::make_unique<PluginPages>(*this)) {}

AppServices::~AppServices() {
  // Cancelled before the workers are joined, so the joins wait for nothing long.
  pluginPages.reset();
  updateTask.Stop();
}

}  // namespace velmora
