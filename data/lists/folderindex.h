#pragma once
// The folder index "RQFoldLst.lst": a profile file (sections and key=value lines) that maps each
// data folder to the list file that caches it.
#include <QString>

namespace tarn::folderindex {

inline constexpr char kIndexFileName[] = "RQFoldLst.lst";
inline constexpr char kSection[] = "KMTARNRQFolders";

// Value of key in section, or def when the file, the section or the key is missing. Sections
// compare without case; keys are data-folder paths and compare exactly, as the file system does.
QString readValue(const QString& indexPath, const QString& section, const QString& key, const QString& def);
// Sets key=value in section, keeping every other line; the file is replaced whole or not at all.
bool writeValue(const QString& indexPath, const QString& section, const QString& key, const QString& value);

// A list file name that does not exist yet in folder: prefix, six digits from 000001 up, ext
// ("." prefixed when missing). Empty when every number is taken.
QString newListFileName(const QString& folder, const QString& prefix, const QString& ext);

}  // namespace tarn::folderindex
