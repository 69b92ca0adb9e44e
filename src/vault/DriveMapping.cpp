#include "vault/DriveMapping.h"

#include <optional>

#include "platform/Text.h"
#include "vault/VaultStore.h"

namespace tovik {

namespace {
constexpr int kSystemFileAlert = kMbIconExclamation | kMbSystemModal;

std::optional<std::string> Candidate(std::optional<std::string> directory,
                                     std::string_view suffix) {
    if (!directory) return std::nullopt;
    std::string path(TrimBlanks(*directory));
    path += suffix;
    return path;
}

bool Found(const std::optional<std::string>& match) { return match && !match->empty(); }
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

// subst.exe is waited for, so that a mapping it refused (letter taken, letter past "Z") is
// reported instead of being shown as open, and Explorer never starts on a letter that is not
// there. A subst.exe that hangs is stopped at the time limit and counts as a failure.
void OpenVault(Platform& platform, PartitionTable& table, std::string_view partition, int n) {
    const std::string subst = FindSubstPath(platform);
    if (subst == kSubstNotFound) {
        platform.ShowMessage("系统文件丢失，无法创建映射，重装系统可能解决此问题", "错误",
                             kSystemFileAlert);
        return;
    }
    const auto letter = table.MappedLetter(n);
    if (!letter) return;
    const std::string command = subst + *letter + VaultRoot(partition);
    const auto exitCode = platform.RunCommandAndWait(command, kShowHidden, kSubstTimeoutMs);
    if (!exitCode || *exitCode != 0) {
        platform.ShowMessage("无法将此Tovik映射到盘符 " + std::string(TrimBlanks(*letter)) +
                                 "，该盘符可能已被占用。",
                             "错误", kSystemFileAlert);
        return;
    }
    platform.RunCommand("Explorer.exe  " + *letter, kShowMaximized);
    table.VaultOpen[n - 1] = true;
}

// Waits for the unmapping, so that whatever follows (a rebuilt list, the end of the program)
// comes after the letter is gone.
void CloseVault(Platform& platform, PartitionTable& table, int n) {
    const auto open = table.IsOpen(n);
    if (!open || !*open) return;
    const std::string subst = FindSubstPath(platform);
    if (subst == kSubstNotFound) {
        platform.ShowMessage("系统文件丢失，无法关闭映射，重装系统可能解决此问题", "错误",
                             kSystemFileAlert);
        return;
    }
    platform.RunCommandAndWait(subst + table.MappedLetters[n - 1] + "  /d", kShowHidden,
                               kSubstTimeoutMs);
    table.VaultOpen[n - 1] = false;
}

void CloseAllVaults(Platform& platform, PartitionTable& table) {
    for (int n = 1; n <= table.PartitionCount; ++n) CloseVault(platform, table, n);
}

}  // namespace tovik
