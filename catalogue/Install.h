// The install pipeline behind a plug-in page's 按钮1: download the entry's
// archive into the file it is stored as beside the program, unpack that file
// into the game root with the page's zip unit ZIP压缩1, then show the page as
// installed, tell the user and delete the archive. One routine for all 21
// entries: the work runs as one job beside the interface thread, and its
// outcome is shown once, on that thread, when the job has returned.
#pragma once

#include <atomic>
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
// Another copy of Velmora (from this folder or another) is changing the same
// game folder right now; nothing was changed here.
inline constexpr std::string_view kGameFolderBusy =
    "另一个Velmora正在修改这个游戏目录，请等它完成后再试。";
// The game runs from this game folder: its files would be replaced under it.
inline constexpr std::string_view kGameRunningForInstall = "游戏正在运行，请先关闭游戏，再安装插件。";
// The system had no thread or memory left for the install; nothing changed.
inline constexpr std::string_view kInstallNotRun = "插件安装未能进行，游戏目录未改动，请稍后重试。";
// A failed install whose originals the system would not give back yet.
inline constexpr std::string_view kRepairAtNextStart =
    "插件安装失败。部分游戏文件暂时无法还原，下次启动本程序时将自动修复游戏目录。";
inline constexpr std::string_view kInterruptedInstallBlocked =
    "上次安装插件时程序意外中断，部分游戏文件正在使用中，暂时无法还原。请先关闭游戏，再重新启动本程序";
// The status label 标签2 while the archive is unpacked, and after an install
// that failed there.
inline constexpr std::string_view kUnpacking = "正在解压";
inline constexpr std::string_view kInstallFailedState = "安装失败";
}  // namespace text

// The page's status label 标签2 for each state of the download.
std::string_view StateText(DownloadState state);

// What the install shows on its page while it works, in the page's words.
// Called on the install worker.
class InstallView {
 public:
  virtual ~InstallView() = default;
  virtual void ShowStatus(std::string_view text) = 0;  // 标签2
  virtual void ShowProgress(int percent) = 0;          // 进度条1
  virtual void ShowRate(std::string_view figure) = 0;  // 标签4
};

// The one switch that ends an install from another thread: the download at
// once (its WinINet handles are closed), the unpacking before its commit; a
// commit that has begun finishes.
class InstallCancel {
 public:
  explicit InstallCancel(const WinInetApi& api) : transfer(api) {}
  void Cancel() {
    asked_ = true;
    transfer.Cancel();
  }
  bool Asked() const { return asked_; }

  TransferHandles transfer;

 private:
  std::atomic<bool> asked_{false};
};

struct InstallOutcome {
  bool installed = false;
  std::string_view message;  // what to tell the user; empty: nothing (cancelled)
  std::string_view status;   // the status label afterwards; empty: as the download left it
  std::string archive;       // the stored archive, deleted once the user has been told (whatever the outcome)
};

// The whole install of one entry, on the install worker; the outcome is
// written to the log.
InstallOutcome InstallPlugin(FileSystem& fs, const std::string& programDir,
                             ArchiveDownloader& downloader, const CatalogueEntry& entry,
                             InstallView& view, InstallCancel& cancel, EventLog& log = NoLog());

// On the interface thread, once the job has returned: the page as the user
// sees it afterwards (caption, progress, status) and the message, when the
// page is still there; then the stored archive goes.
void ShowInstallOutcome(FileSystem& fs, const InstallOutcome& outcome, PluginPageView* page,
                        InstallView* progress);

// Undoes, in the stored game root, an install that a crash cut short (a commit
// half done leaves a half-replaced plug-in that the game would load). Runs as
// soon as the game root is known: at start-up and when one is chosen.
RecoveryResult RecoverInterruptedInstall(FileSystem& fs, const std::string& programDir,
                                         EventLog& log = NoLog());

}  // namespace velmora
