#pragma once
// Where the user's data lives ("LorvexData" in the roaming application-data folder) and the
// one-time move of the former product's (Velmorin) data into it.

#include <string>

namespace Lorvex::Paths {

// The data folder, computed once on first use and fixed afterwards. Not created here: whoever
// writes into it creates it. Safe from any thread.
const std::wstring& DataDir();

// The data folder as the known folders give it: roaming application data, else local
// application data, else the relative "LorvexData".
std::wstring ComputeDataDir();
std::wstring ComputeDataDir(const std::wstring& roamingAppData, const std::wstring& localAppData);

std::wstring ImagesDir();
std::wstring SettingsPath();

// The user's Documents folder; empty when the system names none.
std::wstring DocumentsDir();

// Merges the source folder into the target file by file; a file the target already holds wins
// and its source stays. A linked folder inside (junction or symbolic link) is merged like the
// others when it leads outside both trees; one that does not, or cannot be followed, is left as
// it is and makes the result false. True when every other file ended up in the target. Never
// deletes a source file; empty source folders stay.
bool MoveTree(const std::wstring& source, const std::wstring& target);

// Brings the former product's data over: "VelmorinData" in Documents and "settings.json",
// "account.dat" and "cloud.json" of the roaming "Velmorin" folder. A former folder is removed
// only as far as it was emptied, and a linked one only once nothing is found through it;
// whatever was not brought over stays where it was. False when something could be neither moved
// nor copied, or lies behind a link that cannot be followed; the next start tries again.
bool MigrateLegacyData();
bool MigrateLegacyData(const std::wstring& dataDir, const std::wstring& documentsDir, const std::wstring& roamingDir);

// Test seam: points DataDir() (the same referenced text) at another folder, e.g. a fresh one per
// test. Not for the program itself, and not while another thread reads DataDir().
void SetDataDirForTesting(std::wstring dataDir);

}  // namespace Lorvex::Paths
