#include "vault/PartitionTable.h"

namespace tovik {

std::optional<bool> PartitionTable::IsOpen(int n) const {
    if (!Has(n)) return std::nullopt;
    return VaultOpen[n - 1];
}

std::optional<std::string> PartitionTable::MappedLetter(int n) const {
    if (!Has(n)) return std::nullopt;
    return MappedLetters[n - 1];
}

// Spare letters follow the highest letter in use, whatever its type. Past "Z" they run on into
// "[", "\" and so on, which name no drive; Open then looks for another letter.
PartitionTable BuildPartitionTable(const std::vector<Drive>& drives) {
    PartitionTable table;
    for (const Drive& drive : drives) {
        const int code = static_cast<unsigned char>(drive.letter);
        if (code > table.HighestDriveLetter) table.HighestDriveLetter = code;
        if (drive.type == kDriveFixed) {
            ++table.PartitionCount;
            table.PartitionNames.push_back(std::string(1, drive.letter) + ":");
        }
    }
    for (int n = 1; n <= table.PartitionCount; ++n) {
        const char spare = static_cast<char>(table.HighestDriveLetter + n);
        table.MappedLetters.push_back(std::string(" ") + spare + ": ");
        table.VaultOpen.push_back(false);
    }
    return table;
}

}  // namespace tovik
