#pragma once

#include <string_view>

// The program's names and version, in one place so that every window, file
// header and settings path spells them alike.
namespace marrowen::program {

// Window captions, the application title, the about box, the update check and
// the log header.
inline constexpr std::string_view displayName = "Marrowen Pro";
inline constexpr std::string_view version = "5.6.3";
// The maker's web address, in encoded attachments and exported XML.
inline constexpr std::string_view makerWebAddress = "https://www.ostrevan.com/marrowen/";
inline constexpr std::string_view companyName = "Ostrevan";
inline constexpr std::string_view productName = "Marrowen";
// The settings key under the current user.
inline constexpr std::string_view registryKey = "SOFTWARE\\Ostrevan\\Marrowen";
inline constexpr std::string_view shortName = "marrowen";
inline constexpr std::string_view defaultLogName = "marrowen.log";
inline constexpr std::string_view helpFileName = "marrowen.chm";
// The folder under $XDG_DATA_HOME for files that cannot go beside the program.
inline constexpr std::string_view dataFolderName = "Marrowen";

} // namespace marrowen::program
