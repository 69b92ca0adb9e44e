#include "app/PartitionList.h"

#include "texts/Texts.h"
#include "vault/VaultStore.h"

namespace tovik {

// Integer arithmetic, so that no binary fraction can tip a figure like 12.345 the wrong way.
std::string FormatFreeSpace(std::uint64_t bytes) {
    constexpr std::uint64_t kHundredth = 10'000'000;  // 10^9 / 100
    std::uint64_t hundredths = bytes / kHundredth;
    if (bytes % kHundredth >= kHundredth / 2) ++hundredths;
    std::string fraction = std::to_string(hundredths % 100);
    if (fraction.size() < 2) fraction.insert(0, 1, '0');
    return std::string(text::kFreeSpacePrefix) + std::to_string(hundredths / 100) + "." +
           fraction + std::string(text::kFreeSpaceUnit);
}

std::string FreeSpaceText(Platform& platform, std::string_view partition) {
    const auto bytes = platform.FreeSpace(partition);
    return bytes ? FormatFreeSpace(*bytes) : std::string();
}

std::string PartitionRow(Platform& platform, const PartitionTable& table, int n) {
    const std::string& name = table.PartitionNames[n - 1];
    const bool exists = VaultExists(platform, name);
    const bool open = exists && table.VaultOpen[n - 1];
    std::string row = name + FreeSpaceText(platform, name);
    if (!exists) return row.append(text::kNoVault);
    if (!open) return row.append(text::kVaultClosed);
    return row.append(text::kVaultOpen)
        .append(name)
        .append(text::kMappedTo)
        .append(table.MappedLetters[n - 1]);
}

}  // namespace tovik
