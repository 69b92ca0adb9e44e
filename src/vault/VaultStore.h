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
void CreateVault(Platform& platform, std::string_view partition);
// False when the shell failed; a user who declines the shell's own confirmation is no failure.
bool DeleteVault(Platform& platform, std::string_view partition);

}  // namespace tovik
