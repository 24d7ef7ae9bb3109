// The install pipeline behind a plug-in page's 按钮1: download the entry's
// archive, store it beside the program, unpack it into the game root with the
// page's zip unit ZIP压缩1, show the page as installed and tell the user, then
// delete the archive. One routine for all 21 entries.
#pragma once

#include <string>
#include <string_view>

#include "catalogue/Catalogue.h"
#include "catalogue/PluginPageView.h"
#include "net/ArchiveDownloader.h"
#include "net/DownloadView.h"
#include "platform/FileSystem.h"
#include "zip/ZipUnit.h"

namespace velmora {

namespace text {
inline constexpr std::string_view kInstallDone = "插件安装完毕";
inline constexpr std::string_view kNoGameRootForInstall = "请先设置游戏目录，再安装插件";
inline constexpr std::string_view kArchiveNotSaved = "插件保存失败，请检查程序目录是否可写";
inline constexpr std::string_view kUnpackFailed = "插件解压失败，压缩包已损坏，请重新下载安装";
// An archive with an entry outside "\profile\", a link or a device name: nothing
// of it is written.
inline constexpr std::string_view kArchiveRefused = "插件压缩包内容不安全，已拒绝安装，游戏目录未改动";
inline constexpr std::string_view kGameFilesInUse = "游戏文件正在使用中，请先关闭游戏再安装插件";
inline constexpr std::string_view kNoDiskSpace = "磁盘空间不足，插件安装失败";
// The game folder holds a link where the plug-in's files go (a folder moved to
// another disk, say): writing through it would leave the game folder.
inline constexpr std::string_view kLinkInGameRoot = "游戏目录中有指向别处的链接文件夹，插件未安装";
inline constexpr std::string_view kGameFilesNotWritten = "无法写入游戏目录，插件安装失败";
}  // namespace text

// What the pipeline needs from a plug-in page: its caption and message box, the
// download's progress units, and the zip unit's progress event.
class InstallView : public PluginPageView, public DownloadView {
 public:
  // The zip unit's progress event; returning false stops the unpacking.
  virtual bool OnUnpackProgress(const UnpackProgress& progress) = 0;
};

// Runs the whole install of one entry; everything the user must know is shown
// through the view. Returns true when the plug-in was installed.
bool InstallPlugin(FileSystem& fs, const std::string& programDir, ArchiveDownloader& downloader,
                   const CatalogueEntry& entry, InstallView& view);

}  // namespace velmora
