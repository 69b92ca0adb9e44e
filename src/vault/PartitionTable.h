// The fixed partitions found at start-up, their spare drive letters and open flags.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace tovik {

// Partition numbers run from 1 to PartitionCount; list row r shows partition r + 1.
struct PartitionTable {
    int PartitionCount = 0;
    int HighestDriveLetter = 0;
    std::vector<std::string> PartitionNames;  // "C:"
    std::vector<std::string> MappedLetters;   // " F: "
    std::vector<bool> VaultOpen;

    bool Has(int n) const { return n >= 1 && n <= PartitionCount; }
    std::optional<bool> IsOpen(int n) const;
    // Fails (nullopt) for a number outside the table.
    std::optional<std::string> MappedLetter(int n) const;
};

PartitionTable BuildPartitionTable(const std::vector<Drive>& drives);

}  // namespace tovik
