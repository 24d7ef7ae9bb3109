// The texts of a plug-in page (下载), exactly as the user reads them: one home
// for each, so a change of wording is made here and nowhere else.
#pragma once

#include <string_view>

namespace velmora::text {

// The install button 按钮1.
inline constexpr std::string_view kInstallCaption = "安装";
inline constexpr std::string_view kInstalledCaption = "已安装";

// The download's states in the status label 标签2, as the download reports them.
inline constexpr std::string_view kConnecting = "正在连接Internet";
inline constexpr std::string_view kConnected = "Internet连接已建立";
inline constexpr std::string_view kRangeHonoured = "服务器支持网络续传";
inline constexpr std::string_view kRangeIgnored = "服务器不支持网络续传";
inline constexpr std::string_view kReading = "开始下载";
inline constexpr std::string_view kFinished = "下载完毕";
inline constexpr std::string_view kCancelled = "已取消下载";

// The install.
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
// The status label 标签2 while the archive is unpacked, and after an install
// that failed there.
inline constexpr std::string_view kUnpacking = "正在解压";
inline constexpr std::string_view kInstallFailedState = "安装失败";

// The uninstall.
// Something of the plug-in is still there after the removal: most often a file the
// running game holds open.
inline constexpr std::string_view kUninstallIncomplete =
    "部分插件文件无法删除，游戏可能正在运行，请先关闭游戏再卸载插件";
}  // namespace velmora::text
