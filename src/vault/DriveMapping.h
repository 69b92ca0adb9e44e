// Mapping a vault to its partition's spare drive letter with subst.exe, and removing it.
#pragma once

#include <string>
#include <string_view>

#include "app/PartitionTable.h"
#include "platform/Platform.h"

namespace tovik {

constexpr std::string_view kSubstNotFound = "Error";
constexpr int kSubstTimeoutMs = 10000;

std::string FindSubstPath(Platform& platform);
void OpenVault(Platform& platform, PartitionTable& table, std::string_view partition, int n);
void CloseVault(Platform& platform, PartitionTable& table, int n);
void CloseAllVaults(Platform& platform, PartitionTable& table);

}  // namespace tovik
