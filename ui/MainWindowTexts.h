// The texts of the main window and the message boxes over it, exactly as the user reads them: one home
// for each, so a change of wording is made here and nowhere else.
#pragma once

#include <string_view>

namespace velmora::text {

// The title of every message box of the program.
inline constexpr std::string_view kMessageTitle = "提示";
// The start-up window could not be made (the one message before any window).
inline constexpr std::string_view kStartWindowFailed = "载入启动窗口失败";

// The game root, its "浏览" and "启动".
inline constexpr std::string_view kAskForGameRoot = "没有找到游戏安装路径，请选择游戏根目录";
// The folder browser's prompt for "浏览" once a game root is set: nothing is missing then.
inline constexpr std::string_view kChooseGameRoot = "请选择游戏根目录";
inline constexpr std::string_view kGameRootWrong = "指定的游戏目录不正确";
inline constexpr std::string_view kGameRootSet = "游戏目录设置完成！";
inline constexpr std::string_view kGameRootNotSaved = "无法保存游戏目录，请检查程序目录是否可写";
// config.ini in the code page cannot spell the folder's name (Korean, an emoji on a
// system without GB18030): the folder is fine, its name is not storable.
inline constexpr std::string_view kGameRootNameNotStorable =
    "游戏目录的名称含有无法保存的字符，请选择路径只含中文或英文的文件夹";
inline constexpr std::string_view kNoGameRootForStart = "请先设置游戏目录，再启动游戏";
inline constexpr std::string_view kGameStartFailed = "游戏启动失败，请检查游戏目录";

// The version check at start-up.
inline constexpr std::string_view kCheckConnectFailed = "连接服务器失败!请稍后重试。";
inline constexpr std::string_view kCheckOutOfService = "该版本已经停止使用,感谢您的支持！";
inline constexpr std::string_view kCheckUpdateOffer = "检测到版本已更新,是否升级到最新版本？";

// An interrupted install whose originals cannot be given back yet (start-up, "浏览").
inline constexpr std::string_view kInterruptedInstallBlocked =
    "上次安装插件时程序意外中断，部分游戏文件正在使用中，暂时无法还原。请先关闭游戏，再重新启动本程序";
}  // namespace velmora::text
