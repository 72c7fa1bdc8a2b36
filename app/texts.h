// The program's own texts, UTF-8, byte for byte as the user sees them.
#pragma once

#include <string_view>

namespace vorlex::texts {

inline constexpr std::string_view kWindowTitle = "Vorlex２";
inline constexpr std::string_view kStartButton = "スタート(&S)";
inline constexpr std::string_view kCloseButton = "閉じる(&C)";
inline constexpr std::string_view kSaveButton = "保存(&L)";

// Label2 during the analysis: this text, then the number of files.
inline constexpr std::string_view kFileTotal = "総ファイル数＝";

// The report when no two files share a name.
inline constexpr std::string_view kNoSameName = "同名のファイルはありません。";

// Label1: the summary, these pieces with the three numbers between them.
inline constexpr std::string_view kSummaryGroups = "同名ファイル＝";
inline constexpr std::string_view kSummaryFiles = "組　　そのファイル数＝";
inline constexpr std::string_view kSummarySize = "    その合計サイズ＝";
inline constexpr std::string_view kSummaryUnit = " KB";

// Between a group member's name and its entry line.
inline constexpr std::string_view kGroupLineGap = "       ";

// The log directory at the root of the scanned drive, and its files' names.
inline constexpr std::string_view kLogDirectory = "/Vorlex";
inline constexpr std::string_view kLogFilePrefix = "VX";
inline constexpr std::string_view kLogFileSuffix = ".log";

// The window's message when a save fails; the log's path and the system's
// reason follow on lines of their own.
inline constexpr std::string_view kSaveFailed = "ログファイルを保存できませんでした。";

}  // namespace vorlex::texts
