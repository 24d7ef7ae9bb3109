// The install pipeline behind a plug-in page's 按钮1: download the entry's
// archive, store it beside the program, unpack it into the game root with the
// page's zip unit ZIP压缩1, then delete the archive; the page then shows it as
// installed and tells the user. One routine for all 21 entries. The work runs
// beside the interface thread; only the outcome is shown on it.
#pragma once

#include <string>
#include <string_view>

#include "app/DiagnosticsLog.h"
#include "catalogue/Catalogue.h"
#include "catalogue/PluginPageView.h"
#include "net/ArchiveDownloader.h"
#include "net/DownloadView.h"
#include "platform/FileSystem.h"
#include "zip/ArchiveUnpacker.h"

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
// The download did not complete (no connection, an error status, cut short).
inline constexpr std::string_view kDownloadFailed = "插件下载失败，请检查网络连接后重试。";
inline constexpr std::string_view kUnpacking = "正在解压";
}  // namespace text

// The page's status label 标签2 for each state of the download.
std::string_view StateText(DownloadState state);

namespace text {
// A failed install whose originals the system would not give back yet.
inline constexpr std::string_view kRepairAtNextStart =
    "插件安装失败。部分游戏文件暂时无法还原，下次启动本程序时将自动修复游戏目录。";
inline constexpr std::string_view kInterruptedInstallBlocked =
    "上次安装插件时程序意外中断，部分游戏文件正在使用中，暂时无法还原。请先关闭游戏，再重新启动本程序";
}  // namespace text

// What the pipeline tells its page while it works: the download's progress,
// and the unpacking's, entry by entry. Called on the worker.
class InstallProgressView : public DownloadView {
 public:
  virtual void OnUnpackProgress(const UnpackProgress& progress) = 0;
};

struct InstallOutcome {
  bool installed = false;
  std::string_view message;  // what to tell the user; empty: nothing (cancelled)
  std::string archive;       // the stored archive, deleted once the user has been told
};

// Runs the whole install of one entry, beside the interface thread; the outcome
// is written to the log. `cancel` ends the download at once and the unpacking
// before its commit; a commit that has begun finishes.
InstallOutcome InstallPlugin(FileSystem& fs, const std::string& programDir,
                             ArchiveDownloader& downloader, const CatalogueEntry& entry,
                             InstallProgressView& view, TransferHandles& cancel,
                             EventLog& log = NoLog());

// On the interface thread, once the install has ended: the page as the user
// sees it afterwards (caption, progress, status) and the message, when the page
// is still there; then the stored archive goes.
void FinishInstall(FileSystem& fs, const InstallOutcome& outcome, PluginPageView* page,
                   DownloadView* progress);

// Undoes, in the stored game root, an install that a crash cut short (a commit
// half done leaves a half-replaced plug-in that the game would load). Runs as
// soon as the game root is known: at start-up and when one is chosen.
RecoveryResult RecoverInterruptedInstall(FileSystem& fs, const std::string& programDir,
                                         EventLog& log = NoLog());

}  // namespace velmora
