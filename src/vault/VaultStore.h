// The vault's folder tree under a partition's \Recycled folder: probe, creation, deletion.
#pragma once

#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace tovik {

std::string VaultRoot(std::string_view partition);         // D:\Recycled\Tovik
std::string VaultInnerFolder(std::string_view partition);  // D:\Recycled\Tovik\Recycled

extern const char
    kStorageDesktopIni[];               // the storage folder's Desktop.ini, without the final CR LF
extern const char kMarkerDesktopIni[];  // the marker Desktop.ini, without the final CR LF

bool VaultExists(Platform& platform, std::string_view partition);
// The storage folder with its Desktop.ini and the marker are all there.
bool VaultComplete(Platform& platform, std::string_view partition);
// True when the whole vault stands afterwards; otherwise what this call made is gone again.
bool CreateVault(Platform& platform, std::string_view partition);

enum class DeleteResult { Deleted, Declined, Incomplete };
// Declined: the user said No to the shell before anything went. Incomplete: the vault root is
// still there for any other reason. A \\Recycled of New's that holds nothing else goes with a
// deleted vault.
DeleteResult DeleteVault(Platform& platform, std::string_view partition);

}  // namespace tovik
