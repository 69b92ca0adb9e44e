#include "vault/DriveMapping.h"

#include <algorithm>
#include <optional>

#include "platform/Text.h"
#include "texts/Texts.h"
#include "vault/VaultStore.h"

namespace tovik {

namespace {
// subst.exe's own mappings stand for a path in the device namespace.
constexpr std::string_view kMappedPathPrefix = "\\??\\";

std::optional<std::string> Candidate(std::optional<std::string> directory,
                                     std::string_view suffix) {
    if (!directory) return std::nullopt;
    std::string path(TrimBlanks(*directory));
    path += suffix;
    return path;
}

bool Found(const std::optional<std::string>& match) { return match && !match->empty(); }

char LetterOf(std::string_view mappedLetter) { return TrimBlanks(mappedLetter).front(); }

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

// Whether the letter maps to the partition's vault root; nullopt when the system cannot say.
std::optional<bool> MapsToVault(Platform& platform, char letter, std::string_view partition) {
    const auto target = platform.DriveTarget(letter);
    if (!target) return std::nullopt;
    return SameText(*target, std::string(kMappedPathPrefix) + VaultRoot(partition));
}

// "\??\D:\Recycled\Tovik", whatever the partition and the case.
bool IsVaultRootTarget(std::string_view target) {
    if (target.size() < kMappedPathPrefix.size() + 2) return false;
    if (target.substr(0, kMappedPathPrefix.size()) != kMappedPathPrefix) return false;
    const std::string_view path = target.substr(kMappedPathPrefix.size());
    const char letter = AsciiLower(path[0]);
    return letter >= 'a' && letter <= 'z' && path[1] == ':' &&
           SameText(path, VaultRoot(path.substr(0, 2)));
}

// One time limit for several waits: each is given an equal share of what is left of it, so
// that one that hangs cannot use up the others' turn, nor all of them more than the limit.
class Deadline {
public:
    Deadline(Platform& platform, int limitMs)
        : platform_(platform), start_(platform.Ticks()), limitMs_(limitMs) {}
    int ShareOf(int waitsLeft) const {
        const std::uint32_t used = platform_.Ticks() - start_;
        if (used >= static_cast<std::uint32_t>(limitMs_)) return 0;
        return (limitMs_ - static_cast<int>(used)) / std::max(waitsLeft, 1);
    }

private:
    Platform& platform_;
    std::uint32_t start_;
    int limitMs_;
};

enum class Unmapped { Yes, No, NoSubst };

std::string RootText(char letter) { return std::string(1, letter) + ":\\"; }

// The system decides, not subst.exe: the letter is free of the vault only when the device
// namespace says so. Where it cannot say, subst.exe's answer is all there is to go by.
Unmapped Unmap(Platform& platform, char letter, std::string_view partition, int timeoutMs) {
    const auto before = MapsToVault(platform, letter, partition);
    if (before && !*before) return Unmapped::Yes;  // someone else has unmapped it already
    const std::string subst = FindSubstPath(platform);
    if (subst == kSubstNotFound) return Unmapped::NoSubst;
    if (timeoutMs <= 0) return Unmapped::No;  // no time left to try
    const auto exitCode = platform.RunCommandAndWait(subst, std::string(" ") + letter + ":   /d",
                                                     kShowHidden, timeoutMs);
    const auto after = MapsToVault(platform, letter, partition);
    const bool gone = after ? !*after : exitCode == 0;
    if (!gone) return Unmapped::No;
    platform.TellShell(ShellChange::DriveRemoved, RootText(letter));
    return Unmapped::Yes;
}

std::string LetterText(char letter) { return std::string(1, letter) + ":"; }

bool TakenByAnotherVault(const PartitionTable& table, int n, char letter) {
    for (int m = 1; m <= table.PartitionCount; ++m) {
        if (m != n && table.VaultOpen[m - 1] && LetterOf(table.MappedLetters[m - 1]) == letter) {
            return true;
        }
    }
    return false;
}

// The letter reserved at start-up when it is a letter and nothing has it now; otherwise the
// highest free one from Z down, as network drives sit at the top and sticks take the lowest.
// A letter the device namespace cannot tell about is not taken. A network drive of the user's
// has its letter even while disconnected, with no device behind it: mapped over, it could not
// connect again when the network comes back. Where the network cannot say, that does not
// count: a network that fails must not take every letter away with it. 0 when none will do. A
// vault open already keeps its letter.
char ChooseLetter(Platform& platform, const PartitionTable& table, int n) {
    if (table.VaultOpen[n - 1]) return LetterOf(table.MappedLetters[n - 1]);
    const auto usable = [&](char letter) {
        if (TakenByAnotherVault(table, n, letter)) return false;
        const auto target = platform.DriveTarget(letter);
        return target && target->empty() && platform.NetworkDriveLetter(letter) != true;
    };
    const int reserved = table.ReservedLetter(n);
    if (reserved <= 'Z' && usable(static_cast<char>(reserved))) return static_cast<char>(reserved);
    for (char letter = 'Z'; letter >= 'C'; --letter) {
        if (letter != reserved && usable(letter)) return letter;
    }
    return 0;
}
}  // namespace

// The system directory first, then the old "command" folder under the Windows directory. A
// listing that fails with an error is read the way the checks have always been read: the
// first check then falls back, the second accepts the candidate.
std::string FindSubstPath(Platform& platform) {
    auto candidate = Candidate(platform.SystemDirectory(), "\\subst.exe");
    if (!candidate || !Found(platform.FirstMatch(*candidate, 0))) {
        candidate = Candidate(platform.WindowsDirectory(), "\\command\\subst.exe");
    }
    if (!candidate) return std::string(kSubstNotFound);
    const auto match = platform.FirstMatch(*candidate, 0);
    if (!match || !match->empty()) return *candidate;
    return std::string(kSubstNotFound);
}

// subst.exe is waited for and the system asked afterwards, so that a mapping that did not
// come about (letter taken meanwhile, subst.exe hung and stopped) is reported instead of being
// shown as open, and Explorer never starts on a letter that is not there. subst.exe tells the
// shell nothing, so the program does, for every letter it maps or removes. The letter actually
// mapped is the one the row shows and the one closed. Explorer is the one in the Windows
// folder: started by bare name, a program of that name beside ours or in the current folder
// would run instead.
void OpenVault(Platform& platform, PartitionTable& table, std::string_view partition, int n) {
    const std::string subst = FindSubstPath(platform);
    if (subst == kSubstNotFound) {
        platform.ShowMessage(text::kNoSubstToMap, text::kError, kAlertBox);
        return;
    }
    if (!table.Has(n)) return;
    const char letter = ChooseLetter(platform, table, n);
    if (letter == 0) {  // every letter is taken; the reserved one is named
        const char named = static_cast<char>(std::min(table.ReservedLetter(n), int{'Z'}));
        platform.ShowMessage(text::CannotMap(LetterText(named)), text::kError, kAlertBox);
        return;
    }
    const std::string mapped = std::string(" ") + letter + ": ";
    const auto exitCode = platform.RunCommandAndWait(subst, mapped + VaultRoot(partition),
                                                     kShowHidden, kSubstTimeoutMs);
    const auto isMapped = MapsToVault(platform, letter, partition);
    if (!(isMapped ? *isMapped : exitCode == 0)) {
        platform.ShowMessage(text::CannotMap(LetterText(letter)), text::kError, kAlertBox);
        return;
    }
    table.MappedLetters[n - 1] = mapped;
    table.VaultOpen[n - 1] = true;
    platform.TellShell(ShellChange::DriveAdded, RootText(letter));
    if (const auto windows = platform.WindowsDirectory()) {
        platform.RunCommand(std::string(TrimBlanks(*windows)) + "\\Explorer.exe", "  " + mapped,
                            kShowMaximized);
    }
}

bool CloseVault(Platform& platform, PartitionTable& table, int n) {
    const auto open = table.IsOpen(n);
    if (!open || !*open) return true;
    const char letter = LetterOf(table.MappedLetters[n - 1]);
    switch (Unmap(platform, letter, table.PartitionNames[n - 1], kSubstTimeoutMs)) {
        case Unmapped::Yes: table.VaultOpen[n - 1] = false; return true;
        case Unmapped::NoSubst:
            platform.ShowMessage(text::kNoSubstToUnmap, text::kError, kAlertBox);
            return false;
        case Unmapped::No:
            platform.ShowMessage(text::StillMapped(LetterText(letter)), text::kError, kErrorBox);
            return false;
    }
    return false;
}

// Closed from outside (subst /d at a prompt): the row and Open must not go on promising the
// letter, and Open maps the vault again, after its password. A letter that now leads elsewhere
// is the user's and is left as it is, as Close leaves it; where the system cannot say, the
// vault stays open.
bool ForgetLetterIfGone(Platform& platform, PartitionTable& table, int n) {
    const auto open = table.IsOpen(n);
    if (!open || !*open) return false;
    const char letter = LetterOf(table.MappedLetters[n - 1]);
    if (MapsToVault(platform, letter, table.PartitionNames[n - 1]) != false) return false;
    table.VaultOpen[n - 1] = false;
    table.MappedLetters[n - 1] =
        std::string(" ") + static_cast<char>(table.ReservedLetter(n)) + ": ";
    return true;
}

// Every open vault is tried, within one time limit for them all.
std::vector<std::string> CloseAllVaults(Platform& platform, PartitionTable& table) {
    int open = 0;
    for (int n = 1; n <= table.PartitionCount; ++n) open += table.VaultOpen[n - 1] ? 1 : 0;
    const Deadline deadline(platform, kCloseAllTimeoutMs);
    std::vector<std::string> stillMapped;
    for (int n = 1; n <= table.PartitionCount; ++n) {
        if (!table.VaultOpen[n - 1]) continue;
        const char letter = LetterOf(table.MappedLetters[n - 1]);
        if (Unmap(platform, letter, table.PartitionNames[n - 1], deadline.ShareOf(open--)) ==
            Unmapped::Yes) {
            table.VaultOpen[n - 1] = false;
        } else {
            stillMapped.push_back(LetterText(letter));
        }
    }
    return stillMapped;
}

// A run that ended without closing (a crash, a forced end) leaves its letters mapped until
// the user logs off: the vault stays reachable, and the letter is taken when this run wants
// it. Only mappings onto a vault root are ours to remove, all within one time limit.
std::vector<std::string> CloseLeftoverMappings(Platform& platform) {
    std::vector<std::pair<char, std::string>> leftovers;  // letter, partition
    // A mapping is a drive like any other: a letter that is none needs no question, unless
    // the system cannot say which letters are drives.
    const std::uint32_t drives = platform.DriveLetters().value_or(~0u);
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if (!(drives & (1u << (letter - 'A')))) continue;
        auto target = platform.DriveTarget(letter);
        if (!target) target = platform.DriveTarget(letter);  // once more: a leftover is no guess
        if (target && IsVaultRootTarget(*target)) {
            leftovers.emplace_back(letter, target->substr(kMappedPathPrefix.size(), 2));
        }
    }
    const Deadline deadline(platform, kCloseAllTimeoutMs);
    int left = static_cast<int>(leftovers.size());
    std::vector<std::string> stillMapped;
    for (const auto& [letter, partition] : leftovers) {
        if (Unmap(platform, letter, partition, deadline.ShareOf(left--)) != Unmapped::Yes) {
            stillMapped.push_back(LetterText(letter));
        }
    }
    return stillMapped;
}

}  // namespace tovik
