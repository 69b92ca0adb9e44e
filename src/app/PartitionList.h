// The rows of the partition list.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Platform.h"
#include "vault/PartitionTable.h"

namespace tovik {

// " 剩余12.35GB": bytes / 10^9 with two decimals, rounded half up, no thousands separator.
std::string FormatFreeSpace(std::uint64_t bytes);
// The free-space piece of a row, or "" when the free space cannot be read.
std::string FreeSpaceText(Platform& platform, std::string_view partition);
// The row of partition n (1-based), probed afresh; the probe's answer also to hasVault.
std::string PartitionRow(Platform& platform, const PartitionTable& table, int n,
                         bool* hasVault = nullptr);

}  // namespace tovik
