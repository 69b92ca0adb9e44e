#include "vault/VaultStore.h"

#include <algorithm>
#include <vector>

#include "platform/Timeline.h"

namespace tovik {

namespace {
constexpr std::string_view kRecycled = "\\Recycled";
constexpr std::string_view kRootSuffix = "\\Recycled\\Tovik";
constexpr std::string_view kStorageFolder = "\\我的Tovik";
constexpr std::string_view kInnerFolder = "\\Recycled";

std::string Join(std::string_view a, std::string_view b) {
    std::string out(a);
    out += b;
    return out;
}

// A vault's files lie deeper under the partition than under the vault's letter, and a path that
// fits there may pass MAX_PATH here: the system takes a longer one only in this form.
std::string LongPath(std::string_view path) { return Join("\\\\?\\", path); }
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
    TOVIK_SPAN("vault_probe");
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

namespace {
// What one New makes, so that a New that cannot finish takes exactly that away again and
// leaves the partition as it found it. Whatever was there before stays.
class Creation {
public:
    explicit Creation(Platform& platform) : platform_(platform) {}

    // A folder that was there already will do; one made here takes the attributes given.
    bool Folder(const std::string& path, int attributesIfMade = 0) {
        if (platform_.MakeFolder(path)) {
            madeFolders_.push_back(path);
            return attributesIfMade == 0 || platform_.SetAttributes(path, attributesIfMade);
        }
        const auto attributes = platform_.Attributes(path);
        return attributes && *attributes != kNothingThere && (*attributes & kFolder);
    }

    bool Made(const std::string& folder) const {
        return std::find(madeFolders_.begin(), madeFolders_.end(), folder) != madeFolders_.end();
    }

    // A read-only file that was there already (a tree half made by hand) is kept as it is.
    bool File(const std::string& path, std::string_view text, int attributes = kAllAttributes) {
        const auto before = platform_.Attributes(path);
        if (!before || (*before != kNothingThere && (*before & kFolder))) return false;
        if (*before == kNothingThere) {
            madeFiles_.push_back(path);  // even a write that fails may leave the file
        } else if (*before & kReadOnly) {
            return platform_.SetAttributes(path, attributes);
        }
        return platform_.WriteTextFile(path, text) && platform_.SetAttributes(path, attributes);
    }

    bool Attributes(const std::string& path, int attributes) {
        return platform_.SetAttributes(path, attributes);
    }

    void Undo() {
        for (const std::string& file : madeFiles_) {
            platform_.SetAttributes(file, 0);
            platform_.RemoveFile(file);
        }
        for (auto folder = madeFolders_.rbegin(); folder != madeFolders_.rend(); ++folder) {
            platform_.SetAttributes(*folder, 0);
            platform_.RemoveFolder(*folder);
        }
    }

private:
    Platform& platform_;
    std::vector<std::string> madeFolders_;
    std::vector<std::string> madeFiles_;
};

// Today's systems keep their Recycle Bin elsewhere, so \Recycled is made when it is missing,
// as the old systems made theirs: hidden and system, with the desktop.ini that has Explorer
// show it as a Recycle Bin and keeps its contents from a casual look. One that was there is
// left as it is. A standard user may make a folder at a partition's root.
bool MakeRecycled(Creation& made, const std::string& recycled) {
    if (!made.Folder(recycled, kHidden | kSystem)) return false;
    return !made.Made(recycled) ||
           made.File(recycled + "\\desktop.ini", kMarkerDesktopIni, kHidden | kSystem);
}
}  // namespace

// The first step that fails ends it: a vault without its disguise, or one whose password
// could not be saved later, is worse than none. An Explorer window open on one of the folders
// whose desktop.ini was written is told, so that it shows the folder as designed.
bool CreateVault(Platform& platform, std::string_view partition) {
    if (VaultExists(platform, partition)) return VaultComplete(platform, partition);
    const std::string recycled = Join(partition, kRecycled);
    const std::string root = VaultRoot(partition);
    const std::string storage = Join(root, kStorageFolder);
    const std::string inner = VaultInnerFolder(partition);

    Creation made(platform);
    const bool whole = MakeRecycled(made, recycled) && made.Folder(root) && made.Folder(storage) &&
                       made.File(Join(storage, "\\Desktop.ini"), kStorageDesktopIni) &&
                       made.Attributes(storage, kSystem) && made.Folder(inner) &&
                       made.File(Join(inner, "\\Desktop.ini"), kMarkerDesktopIni) &&
                       made.Attributes(inner, kAllAttributes);
    if (!whole) {
        made.Undo();
        return false;
    }
    if (made.Made(recycled)) platform.TellShell(ShellChange::FolderChanged, recycled);
    platform.TellShell(ShellChange::FolderChanged, storage);
    platform.TellShell(ShellChange::FolderChanged, inner);
    return true;
}

namespace {
// New makes \\Recycled where there was none (MakeRecycled), and the vault leaves nothing behind:
// once the vault has gone, a \\Recycled that holds nothing but the desktop.ini New gave it, as
// New left it, goes too. Anything else in it, or another desktop.ini, is someone else's, and it
// stays as it is. Where the folder will not go, its desktop.ini is put back, so that it does not
// stay a plain folder without its look.
void TakeAwayEmptyRecycled(Platform& platform, std::string_view partition) {
    const std::string recycled = Join(partition, kRecycled);
    const std::string ini = recycled + "\\desktop.ini";
    const std::string text = std::string(kMarkerDesktopIni) + "\r\n";
    if (platform.CountEntries(LongPath(recycled)) != 1u) return;
    if (platform.Attributes(ini) != (kHidden | kSystem)) return;
    if (platform.ReadSmallFile(ini, text.size()) != text) return;
    if (!platform.SetAttributes(ini, 0)) return;
    if (!platform.RemoveFile(ini)) {
        platform.SetAttributes(ini, kHidden | kSystem);
        return;
    }
    if (platform.RemoveFolder(recycled)) return;
    if (platform.WriteTextFile(ini, kMarkerDesktopIni)) {
        platform.SetAttributes(ini, kHidden | kSystem);
    }
}
}  // namespace

// The shell asks its own question and deletes for good. What it says of itself cannot tell a
// No to its first question from a Cancel half-way, so the disk is asked: a root still there
// with fewer entries than before means something went and something stayed. A folder that
// cannot be listed counts the same before and after, so it alone is never taken for a loss.
DeleteResult DeleteVault(Platform& platform, std::string_view partition) {
    const std::string root = VaultRoot(partition);
    const auto before = platform.CountEntries(LongPath(root));
    const ShellDeleteOutcome outcome = platform.ShellDelete(root);
    // The shell leaves a path it cannot take (one past MAX_PATH, which fits under the vault's
    // letter). Once it has taken something, the user has confirmed the whole vault's end to it
    // too, so what it left goes now, unless the user stopped it.
    if (outcome != ShellDeleteOutcome::Aborted && platform.Attributes(root) != kNothingThere &&
        before && platform.CountEntries(LongPath(root)) < before) {
        platform.RemoveTree(LongPath(root));
    }
    const auto after = platform.Attributes(root);
    if (after && *after == kNothingThere) {
        TakeAwayEmptyRecycled(platform, partition);
        return DeleteResult::Deleted;
    }
    if (outcome == ShellDeleteOutcome::Aborted && before &&
        platform.CountEntries(LongPath(root)) == before) {
        return DeleteResult::Declined;
    }
    return DeleteResult::Incomplete;
}

}  // namespace tovik
