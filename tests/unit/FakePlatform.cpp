#include "FakePlatform.h"

#include <iconv.h>

#include <algorithm>
#include <cstdlib>

#include "platform/Text.h"

namespace tovik::test {

// Code page 936 as the system's converter sees it, without best-fit look-alikes: a character
// it cannot hold makes the conversion fail.
std::optional<std::string> EncodeCodePage936(std::string_view utf8) {
    static const iconv_t converter = iconv_open("CP936", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) std::abort();
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    std::string in(utf8);
    std::string out(in.size() * 2 + 4, '\0');
    char* from = in.data();
    std::size_t fromLeft = in.size();
    char* to = out.data();
    std::size_t toLeft = out.size();
    if (iconv(converter, &from, &fromLeft, &to, &toLeft) == static_cast<std::size_t>(-1)) {
        return std::nullopt;
    }
    out.resize(out.size() - toLeft);
    return out;
}

namespace {
std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::size_t Utf16Length(std::string_view utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string ParentOf(const std::string& path) {
    const auto slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// '*' and '?' as the system's listings take them, without regard to case.
bool Matches(std::string_view pattern, std::string_view name) {
    if (pattern.empty()) return name.empty();
    if (pattern[0] == '*') {
        for (std::size_t skip = 0; skip <= name.size(); ++skip) {
            if (Matches(pattern.substr(1), name.substr(skip))) return true;
        }
        return false;
    }
    if (name.empty()) return false;
    if (pattern[0] != '?' && Lower(pattern.substr(0, 1)) != Lower(name.substr(0, 1))) {
        return false;
    }
    return Matches(pattern.substr(1), name.substr(1));
}
}  // namespace

void FakePlatform::AddDrive(char letter, int type, std::optional<std::uint64_t> freeBytes) {
    drives.push_back({letter, type});
    std::sort(drives.begin(), drives.end(),
              [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
    freeSpace_[letter] = freeBytes;
}

void FakePlatform::AddFolder(const std::string& path, int attributes) {
    entries_[Lower(path)] = {path, true, attributes, {}};
}

void FakePlatform::AddFile(const std::string& path, const std::string& bytes, int attributes) {
    entries_[Lower(path)] = {path, false, attributes, bytes};
}

const FakePlatform::Entry* FakePlatform::Find(const std::string& path) const {
    const auto it = entries_.find(Lower(path));
    return it == entries_.end() ? nullptr : &it->second;
}

std::vector<std::string> FakePlatform::Tree() const {
    std::vector<std::string> out;
    for (const auto& [key, entry] : entries_) out.push_back(key);
    return out;
}

void FakePlatform::FailOn(const std::string& operation, const std::string& argumentPart) {
    failures_.emplace_back(operation, Lower(argumentPart));
}

bool FakePlatform::Fails(const std::string& operation, std::string_view argument) {
    const std::size_t index = calls.size();
    calls.push_back(operation + " " + std::string(argument));
    if (aside_ > 0) asideCalls_.insert(index);
    const std::string lower = Lower(argument);
    const bool fails =
        (failAt_ && (index == *failAt_ || (failLater_ && index > *failAt_))) ||
        std::any_of(failures_.begin(), failures_.end(), [&](const auto& failure) {
            return failure.first == operation && lower.find(failure.second) != std::string::npos;
        });
    if (fails) failed_.insert(index);
    return fails;
}

// A letter mapped with subst can be read too; what lies behind it is not modelled.
bool FakePlatform::DrivePresent(std::string_view path) const {
    if (path.size() < 2 || path[1] != ':') return false;
    const char letter = static_cast<char>(Lower(path.substr(0, 1))[0] - 'a' + 'A');
    return mappings.count(letter) || std::any_of(drives.begin(), drives.end(), [&](const Drive& d) {
               return d.letter == letter;
           });
}

bool FakePlatform::DriveReadable(std::string_view path) const {
    return DrivePresent(path) &&
           !unreadable.count(static_cast<char>(Lower(path.substr(0, 1))[0] - 'a' + 'A'));
}

bool FakePlatform::ParentIsFolder(const std::string& path) const {
    const std::string parent = ParentOf(path);
    if (parent.size() == 2 && parent[1] == ':') return true;
    const Entry* entry = Find(parent);
    return entry && entry->folder;
}

bool FakePlatform::AnotherInstanceRunning() { return false; }

// A letter mapped with subst is a drive like any other, of the type of the drive it leads to.
std::optional<std::vector<Drive>> FakePlatform::Drives() {
    if (Fails("Drives", "") || drivesFail) return std::nullopt;
    std::vector<Drive> all = drives;
    for (const auto& [letter, target] : mappings) all.push_back({letter, kDriveFixed});
    std::sort(all.begin(), all.end(),
              [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
    return all;
}

std::optional<std::uint32_t> FakePlatform::DriveLetters() {
    if (Fails("DriveLetters", "")) return std::nullopt;
    std::uint32_t letters = 0;
    for (const Drive& drive : drives) letters |= 1u << (drive.letter - 'A');
    for (const auto& [letter, target] : mappings) letters |= 1u << (letter - 'A');
    return letters;
}

std::optional<std::uint64_t> FakePlatform::FreeSpace(std::string_view partition) {
    if (Fails("FreeSpace", partition) || !DriveReadable(partition)) return std::nullopt;
    const auto it = freeSpace_.find(static_cast<char>(partition[0]));
    return it == freeSpace_.end() ? std::nullopt : it->second;
}

// A missing folder is no match; only a drive that is absent or unreadable makes the listing
// itself fail, as on the system.
std::optional<std::string> FakePlatform::FirstMatch(std::string_view pattern, int mask) {
    if (Fails("FirstMatch", pattern) || !DriveReadable(pattern)) return std::nullopt;
    const std::string folder = Lower(ParentOf(std::string(pattern)));
    const std::string namePattern(pattern.substr(pattern.rfind('\\') + 1));
    for (const auto& [key, entry] : entries_) {
        if (entry.folder || ParentOf(key) != folder) continue;
        if ((entry.attributes & ~mask & (kReadOnly | kHidden | kSystem)) != 0) continue;
        const std::string name = entry.path.substr(entry.path.rfind('\\') + 1);
        if (Matches(namePattern, name)) return name;
    }
    return std::string();
}

// The system says "not there" of a path on a drive that has gone, as of a missing folder.
std::optional<int> FakePlatform::Attributes(std::string_view path) {
    if (Fails("Attributes", path)) return std::nullopt;
    if (!DrivePresent(path)) return kNothingThere;
    if (!DriveReadable(path)) return std::nullopt;
    const Entry* entry = Find(std::string(path));
    if (!entry) return kNothingThere;
    return entry->attributes | (entry->folder ? kFolder : 0);
}

std::vector<std::string> FakePlatform::Below(const std::string& folder) const {
    std::vector<std::string> below;
    const std::string prefix = Lower(folder) + "\\";
    for (const auto& [key, entry] : entries_) {
        if (key.rfind(prefix, 0) == 0) below.push_back(key);
    }
    std::sort(below.begin(), below.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    return below;
}

bool FakePlatform::RemoveFolder(std::string_view path) {
    const Entry* entry = Find(std::string(path));
    if (Fails("RemoveFolder", path) || !entry || !entry->folder) return false;
    if (!Below(std::string(path)).empty()) return false;
    entries_.erase(Lower(path));
    return true;
}

// As the system lists: a path of MAX_PATH (260) or more is seen only in its \\?\ form.
bool FakePlatform::RemoveTree(std::string_view path) {
    if (Fails("RemoveTree", path)) return false;
    if (path.starts_with("\\\\?\\")) path.remove_prefix(4);
    for (const std::string& key : Below(std::string(path))) entries_.erase(key);
    return entries_.erase(Lower(path)) == 1;
}

std::optional<std::uint64_t> FakePlatform::CountEntries(std::string_view path) {
    if (Fails("CountEntries", path)) return std::nullopt;
    constexpr std::string_view kLong = "\\\\?\\";
    const bool longForm = path.starts_with(kLong);
    if (longForm) path.remove_prefix(kLong.size());
    const Entry* entry = Find(std::string(path));
    if (!entry || !entry->folder) return std::nullopt;
    if (unlistable.count(Lower(path))) return std::nullopt;
    Wait();
    std::size_t seen = 0;
    for (const std::string& key : Below(std::string(path))) {
        seen += std::none_of(
                    unlistable.begin(), unlistable.end(),
                    [&](const std::string& folder) { return key.starts_with(folder + "\\"); }) &&
                (longForm || Utf16Length(key) < 260);
    }
    return seen;
}

bool FakePlatform::MakeFolder(std::string_view path) {
    const std::string p(path);
    if (Fails("MakeFolder", path) || !DriveReadable(path) || Find(p) || !ParentIsFolder(p)) {
        return false;
    }
    AddFolder(p);
    return true;
}

bool FakePlatform::WriteTextFile(std::string_view path, std::string_view text) {
    const std::string p(path);
    if (Fails("WriteTextFile", path) || !DriveReadable(path) || !ParentIsFolder(p)) return false;
    const Entry* existing = Find(p);
    if (existing && (existing->folder || (existing->attributes & kReadOnly))) return false;
    const auto ansi = EncodeCodePage936(text);
    if (!ansi) return false;
    const int attributes = existing ? existing->attributes : 0;
    std::string bytes = *ansi + "\r\n";
    const char drive = static_cast<char>(Lower(p.substr(0, 1))[0] - 'a' + 'A');
    const auto space = spaceLeft.find(drive);
    const bool fits = space == spaceLeft.end() || bytes.size() <= space->second;
    if (!fits) bytes.resize(space->second);
    if (space != spaceLeft.end()) space->second -= bytes.size();
    AddFile(existing ? existing->path : p, bytes, attributes);
    return fits;
}

bool FakePlatform::MoveFileReplacing(std::string_view source, std::string_view target) {
    if (Fails("MoveFileReplacing", std::string(source) + " " + std::string(target))) return false;
    const Entry* from = Find(std::string(source));
    const Entry* to = Find(std::string(target));
    if (!from || from->folder || (to && (to->folder || (to->attributes & kReadOnly)))) {
        return false;
    }
    Entry moved = *from;
    moved.path = std::string(target);
    entries_.erase(Lower(source));
    entries_[Lower(target)] = moved;
    return true;
}

bool FakePlatform::RemoveFile(std::string_view path) {
    const Entry* entry = Find(std::string(path));
    if (Fails("RemoveFile", path) || !entry || entry->folder) return false;
    if (entry->attributes & kReadOnly) return false;
    entries_.erase(Lower(path));
    return true;
}

std::optional<std::string> FakePlatform::ReadFirstLine(std::string_view path) {
    const Entry* entry = Find(std::string(path));
    if (Fails("ReadFirstLine", path) || !entry || entry->folder) return std::nullopt;
    FirstLineReader reader;
    reader.Feed(entry->bytes);
    return reader.Line();
}

std::optional<std::string> FakePlatform::ReadSmallFile(std::string_view path, std::size_t limit) {
    const Entry* entry = Find(std::string(path));
    if (Fails("ReadSmallFile", path) || !entry || entry->folder || entry->bytes.size() > limit) {
        return std::nullopt;
    }
    return entry->bytes;
}

std::optional<std::string> FakePlatform::ToAnsi(std::string_view text) {
    if (Fails("ToAnsi", text)) return std::nullopt;
    return EncodeCodePage936(text);
}

bool FakePlatform::SetAttributes(std::string_view path, int attributes) {
    const auto it = entries_.find(Lower(path));
    if (Fails("SetAttributes", path) || it == entries_.end()) return false;
    it->second.attributes = attributes;
    return true;
}

bool FakePlatform::RunCommand(std::string_view program, std::string_view arguments, int showStyle) {
    const std::string line = std::string(program) + std::string(arguments);
    if (Fails("RunCommand", line)) return false;
    commands.push_back({line, showStyle, false});
    return true;
}

std::optional<int> FakePlatform::RunCommandAndWait(std::string_view program,
                                                   std::string_view arguments, int showStyle,
                                                   int timeoutMs) {
    const std::string line = std::string(program) + std::string(arguments);
    if (Fails("RunCommandAndWait", line)) return std::nullopt;
    commands.push_back({line, showStyle, true});
    timeouts.push_back(timeoutMs);
    Wait();
    const auto code = exitCodeOf(line);
    clock += code ? 20 : static_cast<std::uint32_t>(timeoutMs);
    const bool subst = Lower(program).ends_with("\\subst.exe");
    if (code == 0 && subst) return Subst(arguments);
    return code;
}

// Asked in turn, each while the thread waits; a hanging partition's question is held, and its
// wait takes all of its time.
std::vector<bool> FakePlatform::AskAside(std::vector<DiskQuestion> questions, int timeoutMs) {
    std::string partitions;
    for (const DiskQuestion& question : questions) partitions += " " + question.partition;
    calls.push_back("AskAside" + partitions);
    Wait();
    ++waits_;
    ++aside_;
    std::vector<bool> answered;
    for (DiskQuestion& question : questions) {
        const bool hangs = hanging.count(question.partition[0]) != 0;
        if (hangs) {
            held_.push_back(std::move(question.ask));
        } else {
            question.ask();
        }
        answered.push_back(!hangs);
    }
    --aside_;
    --waits_;
    if (std::find(answered.begin(), answered.end(), false) != answered.end()) {
        clock += static_cast<std::uint32_t>(timeoutMs);
    }
    return answered;
}

void FakePlatform::AnswerHeld() {
    auto held = std::move(held_);
    held_.clear();
    ++aside_;
    for (auto& ask : held) ask();
    --aside_;
}

void FakePlatform::Wait() {
    if (!duringNextWait) return;
    const auto during = std::move(duringNextWait);
    duringNextWait = nullptr;
    ++waits_;
    during();
    --waits_;
}

// " G: D:\Recycled\Tovik" maps, " G:   /d" unmaps; 1 where the real subst.exe refuses.
int FakePlatform::Subst(std::string_view arguments) {
    std::vector<std::string> words;
    std::string word;
    for (char c : std::string(arguments) + " ") {
        if (c != ' ') {
            word += c;
        } else if (!word.empty()) {
            words.push_back(word);
            word.clear();
        }
    }
    if (words.size() != 2 || words[0].size() != 2 || words[0][1] != ':') return 1;
    const char letter = static_cast<char>(Lower(words[0])[0] - 'a' + 'A');
    const bool drive = std::any_of(drives.begin(), drives.end(),
                                   [&](const Drive& d) { return d.letter == letter; });
    if (Lower(words[1]) == "/d") {
        if (!mappings.count(letter)) return 1;
        mappings.erase(letter);
        return 0;
    }
    if (drive || mappings.count(letter) || letter < 'A' || letter > 'Z') return 1;
    mappings[letter] = "\\??\\" + words[1];
    return 0;
}

std::optional<std::string> FakePlatform::DriveTarget(char letter) {
    if (Fails("DriveTarget", std::string(1, letter))) return std::nullopt;
    if (const auto it = mappings.find(letter); it != mappings.end()) return it->second;
    const bool drive = std::any_of(drives.begin(), drives.end(),
                                   [&](const Drive& d) { return d.letter == letter; });
    return drive ? "\\Device\\Harddisk" + std::string(1, letter) : std::string();
}

std::optional<std::string> FakePlatform::SystemDirectory() {
    if (Fails("SystemDirectory", "")) return std::nullopt;
    return systemDirectory;
}

std::optional<std::string> FakePlatform::WindowsDirectory() {
    if (Fails("WindowsDirectory", "")) return std::nullopt;
    return windowsDirectory;
}

// Deepest first, as the shell goes; a user who stops it leaves the rest.
ShellDeleteOutcome FakePlatform::ShellDelete(std::string_view path) {
    if (Fails("ShellDelete", path)) return ShellDeleteOutcome::Failed;
    shellDeletes.emplace_back(path);
    std::vector<std::string> doomed = Below(std::string(path));
    doomed.push_back(Lower(path));
    std::size_t taken = 0;
    bool skipped = false;
    for (const std::string& key : doomed) {
        if (shellDeleteStopsAfter && taken == *shellDeleteStopsAfter) {
            return ShellDeleteOutcome::Aborted;
        }
        // The shell takes no path of MAX_PATH or more, nor a folder that still holds one.
        if (Utf16Length(key) >= 260 || !Below(key).empty()) {
            skipped = true;
            continue;
        }
        taken += entries_.erase(key);
    }
    return skipped ? ShellDeleteOutcome::Failed : ShellDeleteOutcome::Finished;
}

void FakePlatform::TellShell(ShellChange change, std::string_view path) {
    const char* what = change == ShellChange::DriveAdded     ? "drive added "
                       : change == ShellChange::DriveRemoved ? "drive removed "
                                                             : "folder ";
    calls.push_back("TellShell " + std::string(what) + std::string(path));
    shellTold.push_back(what + std::string(path));
}

int FakePlatform::ShowMessage(std::string_view text, std::string_view title, int flags) {
    messages.push_back({std::string(text), std::string(title), flags});
    if (Fails("ShowMessage", title)) return 0;
    if (answers.empty()) return kIdOk;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}

std::optional<std::uint64_t> FakePlatform::OwnLogonSession() {
    if (Fails("OwnLogonSession", "")) return std::nullopt;
    return ownSession;
}

ShellProcess FakePlatform::Shell() {
    if (Fails("Shell", "")) return {shell.runs, std::nullopt, std::nullopt};
    return shell;
}

std::optional<std::string> FakePlatform::OwnUser() {
    if (Fails("OwnUser", "")) return std::nullopt;
    return ownUser;
}

bool FakePlatform::OwnRightsElevated() {
    calls.push_back("OwnRightsElevated ");
    return elevated;
}

bool FakePlatform::StartThroughShell(std::string_view arguments) {
    if (Fails("StartThroughShell", arguments)) return false;
    startsAsShellUser.emplace_back(arguments);
    return true;
}

bool FakePlatform::StartAsShellUser(std::string_view arguments) {
    if (Fails("StartAsShellUser", arguments)) return false;
    startsAsShellUser.emplace_back(arguments);
    return true;
}

std::optional<bool> FakePlatform::NetworkDriveLetter(char letter) {
    if (Fails("NetworkDriveLetter", std::string(1, letter))) return std::nullopt;
    return networkLetters.count(letter) != 0;
}

}  // namespace tovik::test
