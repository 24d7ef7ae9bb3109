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
      downloader(SystemWinInet(), fs, config::kToolHost, config::kToolPort, EnvironmentText("tmp"),
                 LoggedDownloads(log)),
      pluginPages(std::make_unique<PluginPages>(*this)),
      updateTask(SystemWinInet()) {}

AppServices::~AppServices() {
  // Before anything the worker could still reach goes.
  updateTask.Stop();
}

}  // namespace velmora
