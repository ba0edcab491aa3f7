// The configuration's file, section and key names and its messages, exactly as stored and shown.
#pragma once

#include <string_view>

namespace ventrel::texts {

inline constexpr std::string_view kBoardFileName = "VENTREL_DLL.INI";
inline constexpr std::string_view kCatalogueFileName = "VentrelConf.ini";

inline constexpr std::string_view kBoardSection = "BOARD";
inline constexpr std::string_view kTypeKey = "TYPE";
inline constexpr std::string_view kSubTypeKey = "TYPE_SUB";
inline constexpr std::string_view kDisplayKey = "DISPLAY";
// What a missing display name reads as; a model whose name reads so is not offered.
inline constexpr std::string_view kNoDisplayName = "ECHEC";

inline constexpr std::string_view kFileNotFound = "File %s not found !";
inline constexpr std::string_view kImproperModel = "Error: CUsbConfDlg::SetModel improper value!";
inline constexpr std::string_view kWriteFailed = "Error: the file %s could not be written!";
// Why, when the system tells: appended to kWriteFailed after a space.
inline constexpr std::string_view kWriteFailedHeldOpen = "Another program holds it open.";
inline constexpr std::string_view kWriteFailedNoPermission =
    "You do not have permission to change it or its folder.";
inline constexpr std::string_view kWriteFailedDiskFull = "The disk is full.";
inline constexpr std::string_view kWriteFailedKeptChanging = "Another program kept changing it.";
inline constexpr std::string_view kWriteFailedAttributes =
    "It is hidden or a system file, and its folder's file system would not keep that.";
// A copy that the store keeps beside the board file because it may hold another program's
// changes: appended to kWriteFailed, or to kWritten when the write itself went through.
inline constexpr std::string_view kWritten = "The file %s was written.";
inline constexpr std::string_view kKeptCopy =
    "A copy of an earlier version of it, which another program may have written, is kept beside "
    "it under a name that starts with \".VENTREL_DLL.INI.vckept-\": compare the two, then remove "
    "the copy.";

}  // namespace ventrel::texts
