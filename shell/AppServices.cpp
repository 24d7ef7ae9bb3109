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

RequestOptions ToolServer() {
  RequestOptions server;
  server.host = config::kToolHost;
  server.port = config::kToolPort;
  return server;
}

FailureReport ReportTo(EventLog& log) {
  return [&log](std::string_view why) { log.Write(why); };
}

}  // namespace

AppServices::AppServices(std::string dir)
    : programDir(std::move(dir)),
      fs(NativeFileSystem()),
      log(fs, DiagnosticsLogPath(programDir)),
      wininet(SystemWinInet()),
      ui(ReportTo(log)),
      downloader(wininet, fs, ToolServer(), EnvironmentText("tmp"), LoggedDownloads(log)),
      updateTask(wininet, siteWorker, ui),
      pluginPages(std::make_unique<PluginPages>(*this)),
      installWorker(ReportTo(log)),
      siteWorker(ReportTo(log)) {}

AppServices::~AppServices() {
  // Cancelled before the workers are joined, so the joins wait for nothing long.
  pluginPages.reset();
  updateTask.Stop();
}

}  // namespace velmora
