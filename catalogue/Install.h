// The install pipeline behind a plug-in page's 按钮1: download the entry's
// archive, store it beside the program, unpack it into the game root with the
// page's zip unit ZIP压缩1, show the page as installed and tell the user, then
// delete the archive. One routine for all 21 entries.
#pragma once

#include <string>
#include <string_view>

#include "app/DiagnosticsLog.h"
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
inline constexpr std::string_view kInterruptedInstallBlocked =
    "上次安装插件时程序意外中断，部分游戏文件正在使用中，暂时无法还原。请先关闭游戏，再重新启动本程序";
}  // namespace text

// What the pipeline needs from a plug-in page: its caption and message box, the
// download's progress units, and the zip unit's progress event.
class InstallView : public PluginPageView, public DownloadView {
 public:
  // The zip unit's progress event; returning false stops the unpacking.
  virtual bool OnUnpackProgress(const UnpackProgress& progress) = 0;
};

// Runs the whole install of one entry; everything the user must know is shown
// through the view, and the outcome is written to the log. Returns true when the
// plug-in was installed.
bool InstallPlugin(FileSystem& fs, const std::string& programDir, ArchiveDownloader& downloader,
                   const CatalogueEntry& entry, InstallView& view, EventLog& log = NoLog());

// Undoes, in the stored game root, an install that a crash cut short (a commit
// half done leaves a half-replaced plug-in that the game would load). Runs as
// soon as the game root is known: at start-up and when one is chosen.
RecoveryResult RecoverInterruptedInstall(FileSystem& fs, const std::string& programDir,
                                         EventLog& log = NoLog());

}  // namespace velmora
