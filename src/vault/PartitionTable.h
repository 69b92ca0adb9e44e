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
    // " F: ": the letter reserved at start-up, and once a vault is opened the letter it
    // was actually mapped to.
    std::vector<std::string> MappedLetters;
    std::vector<bool> VaultOpen;

    bool Has(int n) const { return n >= 1 && n <= PartitionCount; }
    std::optional<bool> IsOpen(int n) const;
    // Fails (nullopt) for a number outside the table.
    std::optional<std::string> MappedLetter(int n) const;
    // The letter start-up reserved for partition n: the one after the highest drive letter
    // plus n - 1. It may lie past "Z".
    int ReservedLetter(int n) const { return HighestDriveLetter + n; }
};

PartitionTable BuildPartitionTable(const std::vector<Drive>& drives);

}  // namespace tovik
