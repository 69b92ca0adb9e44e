#include "app/PartitionList.h"

#include "platform/Timeline.h"
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
    return std::string(text::kFreeSpacePrefix) + std::to_string(hundredths / 100) + "." + fraction +
           std::string(text::kFreeSpaceUnit);
}

std::string FreeSpaceText(Platform& platform, std::string_view partition) {
    TOVIK_SPAN("free_space");
    const auto bytes = platform.FreeSpace(partition);
    return bytes ? FormatFreeSpace(*bytes) : std::string();
}

PartitionLook LookAtPartition(Platform& platform, std::string_view partition) {
    TOVIK_SPAN("row");
    PartitionLook look;
    look.hasVault = VaultExists(platform, partition);
    look.freeSpace = FreeSpaceText(platform, partition);
    return look;
}

// A vault whose folder went behind our back while its letter still leads there is shown so:
// the letter stays reachable, and the row says it until the letter is gone.
std::string PartitionRow(const PartitionTable& table, int n, const PartitionLook& look) {
    const std::string& name = table.PartitionNames[n - 1];
    std::string row = name + look.freeSpace;
    if (!table.VaultOpen[n - 1]) {
        return row.append(look.hasVault ? text::kVaultClosed : text::kNoVault);
    }
    return row.append(look.hasVault ? text::kVaultOpen : text::kNoVaultButOpen)
        .append(name)
        .append(text::kMappedTo)
        .append(table.MappedLetters[n - 1]);
}

}  // namespace tovik
