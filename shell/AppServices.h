// The program-wide state that outlives any one window: set up at start-up before
// the main window, released after the message loop: the diagnostics log, the
// interface thread's queue of posted calls, the two workers (plug-in installs;
// the site's version check and self-update), the plug-in downloader with its
// temporary-file and total-size slots, the open plug-in pages and the background
// download task of the self-update. On release the work still running is
// cancelled and the workers are joined.
#pragma once

#include <memory>
#include <string>

#include "app/DiagnosticsLog.h"
#include "net/BackgroundDownload.h"
#include "net/HttpDownloader.h"
#include "platform/FileSystem.h"
#include "platform/Worker.h"
#include "platform/win32/Com.h"
#include "platform/win32/PostedCalls.h"

namespace velmora {

class PluginPages;

struct AppServices {
  explicit AppServices(std::string programDir);
  ~AppServices();

  std::string programDir;
  FileSystem& fs;
  DiagnosticsLog log;
  win32::OleOnDemand ole;  // outlives the windows that use it
  const WinInetApi& wininet;
  win32::PostedCalls ui;  // outlives the workers, which post to it until joined
  HttpDownloader downloader;
  BackgroundDownload updateTask;
  std::unique_ptr<PluginPages> pluginPages;
  // Joined first, before anything their jobs use goes.
  Worker installWorker;
  Worker siteWorker;
};

}  // namespace velmora
