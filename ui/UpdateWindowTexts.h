// The texts of the update window, exactly as the user reads them: one home
// for each, so a change of wording is made here and nowhere else.
#pragma once

#include <string_view>

namespace velmora::text {

// State texts beside the current-version line.
inline constexpr std::string_view kUpdateReadingPage = "正在读取公告";
inline constexpr std::string_view kUpdateDownloading = "正在下载";
inline constexpr std::string_view kUpdateDone = "下载完成";
inline constexpr std::string_view kUpdateFailed = "更新失败";
// Messages of the update window.
inline constexpr std::string_view kUpdatePageFailed = "读取更新公告失败，请稍后重试。";
inline constexpr std::string_view kUpdateAddressRefused = "更新公告中的下载地址无效，已停止更新。";
inline constexpr std::string_view kUpdateDownloadFailed = "新版本下载失败，请稍后重试。";
// The https server's certificate was refused (self-signed, unknown issuer, another name).
inline constexpr std::string_view kUpdateCertificateRefused =
    "新版本下载地址的安全证书不受信任，已停止更新。请检查系统时间，或稍后重试。";
inline constexpr std::string_view kUpdateVerifyFailed = "新版本校验失败，已停止更新。";
inline constexpr std::string_view kUpdateStoreFailed = "新版本保存失败，请检查程序目录是否可以写入。";
inline constexpr std::string_view kUpdateDownloaded = "新版本已经下载完成，感谢您的支持！";
inline constexpr std::string_view kUpdateStartNew = "是否立即启动新版本？";
inline constexpr std::string_view kUpdateStartFailed = "新版本启动失败，请到程序目录中手动启动。";
// The figures' lines: "下载进度：<rate> KB/S", "已完成：<n>%  " (two blanks), the version.
inline constexpr std::string_view kRatePrefix = "下载进度：";
inline constexpr std::string_view kRateUnit = " KB/S";
inline constexpr std::string_view kSharePrefix = "已完成：";
inline constexpr std::string_view kShareSuffix = "%  ";
inline constexpr std::string_view kVersionPrefix = "当前版本：";
}  // namespace velmora::text
