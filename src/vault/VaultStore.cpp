#include "vault/VaultStore.h"

namespace tovik {

namespace {
constexpr std::string_view kRootSuffix = "\\Recycled\\Tovik";
constexpr std::string_view kStorageFolder = "\\我的Tovik";
constexpr std::string_view kInnerFolder = "\\Recycled";

std::string Join(std::string_view a, std::string_view b) {
    std::string out(a);
    out += b;
    return out;
}
}  // namespace

// Every line ends in CR LF; WriteTextFile adds the last one.
const char kStorageDesktopIni[] =
    "[.ShellClassInfo]\r\n"
    "IconFile=%SystemRoot%\\system32\\SHELL32.dll\r\n"
    "IconIndex = 44";
const char kMarkerDesktopIni[] =
    "[.ShellClassInfo]\r\n"
    "CLSID={645FF040-5081-101B-9F08-00AA002F954E}";

std::string VaultRoot(std::string_view partition) { return Join(partition, kRootSuffix); }

std::string VaultInnerFolder(std::string_view partition) {
    return Join(VaultRoot(partition), kInnerFolder);
}

// Only the marker file decides. A listing that fails counts as a vault: a partition we cannot
// read must never be offered for creation. The closing listing of c:\ has always been part of
// the probe; its result does not matter.
bool VaultExists(Platform& platform, std::string_view partition) {
    const auto marker =
        platform.FirstMatch(Join(VaultInnerFolder(partition), "\\desktop.ini"), kAllAttributes);
    const bool exists = !marker || !marker->empty();
    platform.FirstMatch("c:\\*.*", 0);
    return exists;
}

// Unlike the probe, a listing that fails proves nothing here.
bool VaultComplete(Platform& platform, std::string_view partition) {
    const std::string storage = Join(VaultRoot(partition), kStorageFolder);
    for (const std::string& file :
         {Join(storage, "\\Desktop.ini"), Join(VaultInnerFolder(partition), "\\Desktop.ini")}) {
        const auto match = platform.FirstMatch(file, kAllAttributes);
        if (!match || match->empty()) return false;
    }
    return true;
}

// Each step is tried even when an earlier one failed, and nothing is undone: the list that the
// caller rebuilds afterwards shows what came of it.
void CreateVault(Platform& platform, std::string_view partition) {
    if (VaultExists(platform, partition)) return;
    const std::string root = VaultRoot(partition);
    const std::string storage = Join(root, kStorageFolder);
    const std::string inner = VaultInnerFolder(partition);

    platform.MakeFolder(root);
    platform.MakeFolder(storage);
    platform.WriteTextFile(Join(storage, "\\Desktop.ini"), kStorageDesktopIni);
    platform.SetAttributes(Join(storage, "\\Desktop.ini"), kAllAttributes);
    platform.SetAttributes(storage, kSystem);
    platform.MakeFolder(inner);
    platform.WriteTextFile(Join(inner, "\\Desktop.ini"), kMarkerDesktopIni);
    platform.SetAttributes(Join(inner, "\\Desktop.ini"), kAllAttributes);
    platform.SetAttributes(inner, kAllAttributes);
}

// The shell asks its own confirmation and deletes for good; the caller's rebuilt list shows
// the outcome, and the caller says so when the shell could not do it.
bool DeleteVault(Platform& platform, std::string_view partition) {
    return platform.ShellDelete(VaultRoot(partition));
}

}  // namespace tovik
