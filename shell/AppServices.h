// The program-wide state that outlives any one window: set up at start-up before
// the main window, released after the message loop (the plug-in downloader with
// its temporary-file and total-size slots, the open plug-in pages, the
// diagnostics log, and the background download task of the version check and
// the self-update, which is stopped and its worker joined on release, even
// mid-download).
#pragma once

#include <memory>
#include <string>

#include "app/DiagnosticsLog.h"
#include "net/BackgroundDownload.h"
#include "net/HttpDownloader.h"
#include "platform/FileSystem.h"
#include "platform/win32/Com.h"

namespace velmora {

class PluginPages;

struct AppServices {
  explicit AppServices(std::string programDir);
  ~AppServices();

  std::string programDir;
  FileSystem& fs;
  DiagnosticsLog log;
  win32::OleOnDemand ole;  // outlives the windows that use it
  HttpDownloader downloader;
  std::unique_ptr<PluginPages> pluginPages;
  BackgroundDownload updateTask;
};

}  // namespace velmora
