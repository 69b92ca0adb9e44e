// Mapping a vault to its partition's spare drive letter with subst.exe, and removing it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"
#include "vault/PartitionTable.h"

namespace tovik {

constexpr std::string_view kSubstNotFound = "Error";
constexpr int kSubstTimeoutMs = 10000;
// However many vaults are open and however their unmappings hang, closing them all together
// (or the letters an earlier run left) takes no longer than this.
constexpr int kCloseAllTimeoutMs = 10000;

std::string FindSubstPath(Platform& platform);
void OpenVault(Platform& platform, PartitionTable& table, std::string_view partition, int n);
// True when the vault is closed afterwards; a vault whose letter stays mapped is reported.
bool CloseVault(Platform& platform, PartitionTable& table, int n);
// A vault marked open whose letter no longer leads to it is marked closed, and the table
// forgets the letter; true when that happened.
bool ForgetLetterIfGone(Platform& platform, PartitionTable& table, int n);
// Tries every open vault and reports nothing; returns the letters ("G:") still mapped.
std::vector<std::string> CloseAllVaults(Platform& platform, PartitionTable& table);
// Unmaps whatever letter a run that ended without closing left on a vault root; returns the
// letters still mapped.
std::vector<std::string> CloseLeftoverMappings(Platform& platform);

}  // namespace tovik
