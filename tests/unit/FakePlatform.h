// An in-memory machine for the logic: a case-insensitive file tree with attribute bits, a
// drive list, recorded command lines and message boxes, and failures on demand.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace tovik::test {

std::optional<std::string> EncodeCodePage936(std::string_view utf8);

class FakePlatform : public Platform {
public:
    struct Entry {
        std::string path;  // as created
        bool folder = false;
        int attributes = 0;
        std::string bytes;
    };
    struct Message {
        std::string text;
        std::string title;
        int flags;
    };
    struct Command {
        std::string line;
        int style;
        bool waited;
    };

    // Scene.
    void AddDrive(char letter, int type, std::optional<std::uint64_t> freeBytes = 0);
    void AddFolder(const std::string& path, int attributes = 0);
    void AddFile(const std::string& path, const std::string& bytes, int attributes = 0);
    const Entry* Find(const std::string& path) const;
    std::vector<std::string> Tree() const;  // every path below the drives, sorted, lower case
    // Fails every call of the operation whose argument contains the text.
    void FailOn(const std::string& operation, const std::string& argumentPart = "");
    // Fails the call that will stand at `index` in `calls`, and every later one too when
    // `andLater`, as when a drive goes away half-way. A message box that fails was still
    // tried: it is recorded, and answers 0.
    void FailCall(std::size_t index, bool andLater) { failAt_ = index, failLater_ = andLater; }
    void StopFailing() { failAt_.reset(); }
    // Whether the call at that index in `calls` failed.
    bool Failed(std::size_t index) const { return failed_.count(index) != 0; }

    bool drivesFail = false;
    std::vector<Drive> drives;
    std::set<char> unreadable;         // drives whose listings fail
    std::set<std::string> unlistable;  // folders (lower case) whose contents cannot be listed
    std::optional<std::string> systemDirectory = std::string("C:\\WINDOWS\\SYSTEM32");
    std::optional<std::string> windowsDirectory = std::string("C:\\WINDOWS");
    // The device namespace: what each letter mapped with subst stands for, such as
    // \??\D:\Recycled\Tovik. The drives of the drive list stand for devices.
    std::map<char, std::string> mappings;
    // What a started program exits with (nullopt: it could not start, or hung and was
    // stopped). subst.exe does its work only when it would exit with 0, and then refuses as
    // the real one does: a letter in use, a letter that is not mapped.
    std::function<std::optional<int>(const std::string&)> exitCodeOf = [](const std::string&) {
        return std::optional<int>(0);
    };
    std::vector<int> timeouts;  // of every waited command, in order
    // The clock: a waited command takes 20 ms, one that hangs all of its time.
    std::uint32_t clock = 0;
    std::deque<int> answers;  // message box answers, kIdOk when empty
    // Bytes each drive can still take; a write that does not fit leaves what fitted and fails.
    std::map<char, std::size_t> spaceLeft;
    // The shell's delete: how many entries it takes before the user stops it (0: a No to its
    // question); nullopt: it deletes everything.
    std::optional<std::size_t> shellDeleteStopsAfter;
    // The user's session: the logon sessions of the program and of the shell (nullopt: cannot
    // be read), their users, the arguments of every start as the shell's user, and the letters
    // of the user's network drives, connected or remembered.
    std::optional<std::uint64_t> ownSession = 7;
    ShellProcess shell{true, 7, std::nullopt};
    std::optional<std::string> ownUser = std::string("S-1-5-21-1-1001");
    bool elevated = false;
    std::vector<std::string> startsAsShellUser;
    std::set<char> networkLetters;

    // Runs inside the next wait (a waited command, a listing, questions asked aside), as
    // whatever the system sends then runs inside the real ones.
    std::function<void()> duringNextWait;
    // Partitions whose questions asked aside do not answer: they are held until AnswerHeld.
    std::set<char> hanging;
    void AnswerHeld();
    // Whether the call at that index in `calls` was made by a question asked aside.
    bool Aside(std::size_t index) const { return asideCalls_.count(index) != 0; }

    // Record.
    std::vector<std::string> calls;  // "Operation argument", in order
    std::vector<Command> commands;
    std::vector<Message> messages;
    std::vector<std::string> shellDeletes;
    std::vector<std::string> shellTold;  // "drive added G:\\", "drive removed G:\\", "folder ..."

    bool AnotherInstanceRunning() override;
    std::optional<std::vector<Drive>> Drives() override;
    std::optional<std::uint32_t> DriveLetters() override;
    std::optional<std::uint64_t> FreeSpace(std::string_view partition) override;
    std::optional<std::string> FirstMatch(std::string_view pattern, int mask) override;
    std::optional<int> Attributes(std::string_view path) override;
    bool MakeFolder(std::string_view path) override;
    bool RemoveFolder(std::string_view path) override;
    bool RemoveTree(std::string_view path) override;
    std::optional<std::uint64_t> CountEntries(std::string_view path) override;
    bool WriteTextFile(std::string_view path, std::string_view text) override;
    bool MoveFileReplacing(std::string_view source, std::string_view target) override;
    bool RemoveFile(std::string_view path) override;
    std::optional<std::string> ReadFirstLine(std::string_view path) override;
    std::optional<std::string> ReadSmallFile(std::string_view path, std::size_t limit) override;
    // The ANSI code page is 936, as on the machines Tovik is made for.
    std::optional<std::string> ToAnsi(std::string_view text) override;
    bool SetAttributes(std::string_view path, int attributes) override;
    bool RunCommand(std::string_view program, std::string_view arguments, int showStyle) override;
    std::optional<int> RunCommandAndWait(std::string_view program, std::string_view arguments,
                                         int showStyle, int timeoutMs) override;
    std::optional<std::string> DriveTarget(char letter) override;
    std::vector<bool> AskAside(std::vector<DiskQuestion> questions, int timeoutMs) override;
    bool Waiting() override { return waits_ > 0; }
    void StopWaitedProgram() override { calls.push_back("StopWaitedProgram"); }
    std::uint32_t Ticks() override { return clock; }
    std::optional<std::string> SystemDirectory() override;
    std::optional<std::string> WindowsDirectory() override;
    ShellDeleteOutcome ShellDelete(std::string_view path) override;
    void TellShell(ShellChange change, std::string_view path) override;
    int ShowMessage(std::string_view text, std::string_view title, int flags) override;
    std::optional<std::uint64_t> OwnLogonSession() override;
    ShellProcess Shell() override;
    std::optional<std::string> OwnUser() override;
    bool OwnRightsElevated() override;
    bool StartAsShellUser(std::string_view arguments) override;
    bool StartThroughShell(std::string_view arguments) override;
    std::optional<bool> NetworkDriveLetter(char letter) override;

private:
    bool Fails(const std::string& operation, std::string_view argument);
    bool DrivePresent(std::string_view path) const;
    bool DriveReadable(std::string_view path) const;
    bool ParentIsFolder(const std::string& path) const;
    std::vector<std::string> Below(const std::string& folder) const;  // deepest first
    int Subst(std::string_view arguments);
    void Wait();

    std::map<std::string, Entry> entries_;  // keyed by lower-case path
    std::map<char, std::optional<std::uint64_t>> freeSpace_;
    std::vector<std::pair<std::string, std::string>> failures_;
    std::optional<std::size_t> failAt_;
    bool failLater_ = false;
    std::set<std::size_t> failed_;
    int waits_ = 0;
    int aside_ = 0;
    std::set<std::size_t> asideCalls_;
    std::vector<std::function<void()>> held_;
};

}  // namespace tovik::test
