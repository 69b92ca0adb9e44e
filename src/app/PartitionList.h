// The rows of the partition list.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Platform.h"
#include "vault/PartitionTable.h"

namespace tovik {

// What a partition says of itself for its row; as for a partition that cannot be read until
// it has been asked.
struct PartitionLook {
    bool hasVault = true;   // as VaultExists answers
    std::string freeSpace;  // " 剩余12.35GB", or "" when it cannot be read
};

// " 剩余12.35GB": bytes / 10^9 with two decimals, rounded half up, no thousands separator.
std::string FormatFreeSpace(std::uint64_t bytes);
// The free-space piece of a row, or "" when the free space cannot be read.
std::string FreeSpaceText(Platform& platform, std::string_view partition);
// The partition's vault probe, then its free space, afresh.
PartitionLook LookAtPartition(Platform& platform, std::string_view partition);
// The row of partition n (1-based): what it said of itself, and what the table knows of its
// letter.
std::string PartitionRow(const PartitionTable& table, int n, const PartitionLook& look);

}  // namespace tovik
