// The operating-system services the logic needs, as one interface.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovik {

// Drive type codes as the logic numbers them.
enum DriveType : int {
    kDriveUnknown = 0,
    kDriveRemovable = 1,
    kDriveFixed = 2,
    kDriveNetwork = 3,
    kDriveOptical = 4,
    kDriveRamDisk = 5,
};

struct Drive {
    char letter;  // 'A'..'Z'
    int type;     // a DriveType code
};

// File attribute bits; kFolder only ever comes back from Attributes.
enum Attribute : int { kReadOnly = 1, kHidden = 2, kSystem = 4, kFolder = 16 };
constexpr int kAllAttributes = kReadOnly | kHidden | kSystem;
constexpr int kNothingThere = -1;  // Attributes of a path where there is nothing

// Window styles for started programs.
enum ShowStyle : int { kShowHidden = 0, kShowMaximized = 3 };

// Message box flags and answers (the system's values).
enum MessageBoxFlag : int {
    kMbYesNo = 4,
    kMbIconQuestion = 32,
    kMbIconExclamation = 48,
    kMbIconInformation = 64,
    kMbSystemModal = 4096,
};
// The kinds of box the program shows.
constexpr int kNoticeBox = kMbIconInformation;
constexpr int kErrorBox = kMbIconExclamation;
// A missing system file and a wrong password stop everything else on the screen.
constexpr int kAlertBox = kMbIconExclamation | kMbSystemModal;
constexpr int kQuestionBox = kMbYesNo | kMbIconQuestion;
constexpr int kNoAnswer = 0;  // the box could not be shown
constexpr int kIdOk = 1;
constexpr int kIdYes = 6;

// What the shell is told of: a drive letter that came or went (at its root, "G:\\"), a
// folder whose look changed.
enum class ShellChange { DriveAdded, DriveRemoved, FolderChanged };

// A question to a partition (its free space, its vault), asked off the window's thread: a disk
// that spins up, goes bad or lies behind a network can take seconds to answer.
struct DiskQuestion {
    std::string partition;  // "D:"
    std::function<void()> ask;
};

// The desktop's shell process as the program can see it: whether one runs, its logon session
// when its rights can be read, and the user it runs as (a SID) when the system names it.
struct ShellProcess {
    bool runs = false;
    std::optional<std::uint64_t> logonSession;
    std::optional<std::string> user;
};

// How the shell's delete ended: done as far as it knows, stopped by the user (No to its
// question, Cancel in one of its error boxes), or failed.
enum class ShellDeleteOutcome { Finished, Aborted, Failed };

class Platform {
public:
    virtual ~Platform() = default;

    // True while another copy of the program runs.
    virtual bool AnotherInstanceRunning() = 0;
    // Every drive in ascending letter order; nullopt when the list cannot be read.
    virtual std::optional<std::vector<Drive>> Drives() = 0;
    // The letters that stand for a drive now, a folder mapped with subst included, one bit each
    // (A: is bit 0); nullopt when the system cannot say.
    virtual std::optional<std::uint32_t> DriveLetters() = 0;
    // Bytes available to the user on a partition such as "D:".
    virtual std::optional<std::uint64_t> FreeSpace(std::string_view partition) = 0;
    // Name of the first file matching the pattern whose read-only, hidden and system bits all
    // lie within the mask; "" when none does; nullopt when the listing cannot be made.
    virtual std::optional<std::string> FirstMatch(std::string_view pattern, int mask) = 0;
    // The attribute bits of the file or folder at the path (kFolder for a folder);
    // kNothingThere when there is none; nullopt when that cannot be told.
    virtual std::optional<int> Attributes(std::string_view path) = 0;
    virtual bool MakeFolder(std::string_view path) = 0;
    // Removes an empty folder.
    virtual bool RemoveFolder(std::string_view path) = 0;
    // Removes the folder and everything below it that can be removed, read-only or not; a link
    // to another folder is removed, never followed. False when anything stays.
    virtual bool RemoveTree(std::string_view path) = 0;
    // How many files and folders can be seen below the folder, at every depth: a folder below
    // it that cannot be listed counts as itself alone. nullopt when the folder itself cannot be
    // listed. The thread keeps answering meanwhile (see Waiting).
    virtual std::optional<std::uint64_t> CountEntries(std::string_view path) = 0;
    // Creates or empties the file and writes the text and CR LF in the ANSI code page; fails
    // without writing when the text has no exact form there.
    virtual bool WriteTextFile(std::string_view path, std::string_view text) = 0;
    // Moves a file onto another in one step, replacing it.
    virtual bool MoveFileReplacing(std::string_view source, std::string_view target) = 0;
    virtual bool RemoveFile(std::string_view path) = 0;
    // The bytes up to the first CR or the end, as they stand in the file.
    virtual std::optional<std::string> ReadFirstLine(std::string_view path) = 0;
    // All the bytes of a file of at most `limit` bytes; nullopt for a larger one, or when it
    // cannot be read.
    virtual std::optional<std::string> ReadSmallFile(std::string_view path, std::size_t limit) = 0;
    // The text in the ANSI code page, byte for byte as a file would hold it; nullopt when a
    // character has no exact form there (nothing is replaced by a look-alike or a "?").
    virtual std::optional<std::string> ToAnsi(std::string_view text) = 0;
    virtual bool SetAttributes(std::string_view path, int attributes) = 0;
    // Starts the program at its full path, with a command line of that path followed by the
    // arguments as given, and returns at once.
    virtual bool RunCommand(std::string_view program, std::string_view arguments,
                            int showStyle) = 0;
    // The same, waiting for the program; its exit code, or nullopt when it could not be
    // started, did not end in time or was stopped. It is then stopped, and that too within the
    // time: the call never takes much longer than timeoutMs.
    virtual std::optional<int> RunCommandAndWait(std::string_view program,
                                                 std::string_view arguments, int showStyle,
                                                 int timeoutMs) = 0;
    // True while a call waits (for a program, for a listing) and the thread meanwhile answers
    // what the system and other programs send it: whatever reaches the logic then must start
    // nothing.
    virtual bool Waiting() = 0;
    // Asks each question on a thread of its own and waits for them as for a program (see
    // Waiting), at most timeoutMs; which of them answered in that time. One that did not goes on
    // alone: it must own everything it touches but the platform.
    virtual std::vector<bool> AskAside(std::vector<DiskQuestion> questions, int timeoutMs) = 0;
    // Stops the program being waited for now, so that it changes nothing after this.
    virtual void StopWaitedProgram() = 0;
    // What a drive letter stands for in the system's device namespace, such as
    // \??\D:\Recycled\Tovik for a folder mapped with subst; "" when the letter stands for nothing;
    // nullopt when the system cannot say.
    virtual std::optional<std::string> DriveTarget(char letter) = 0;
    // Milliseconds from some moment; it wraps, so only differences count.
    virtual std::uint32_t Ticks() = 0;
    virtual std::optional<std::string> SystemDirectory() = 0;
    virtual std::optional<std::string> WindowsDirectory() = 0;
    // Hands one delete request for the path to the shell, owned by the main window.
    virtual ShellDeleteOutcome ShellDelete(std::string_view path) = 0;
    // Tells the shell (Explorer's navigation pane, This PC, an open folder) of a change the
    // program made; returns without waiting for the shell.
    virtual void TellShell(ShellChange change, std::string_view path) = 0;
    // A modal message box; returns the button pressed, kNoAnswer when it could not be shown.
    virtual int ShowMessage(std::string_view text, std::string_view title, int flags) = 0;

    // Drive letters belong to a logon session. The one of the program's own rights; nullopt
    // when it cannot be read.
    virtual std::optional<std::uint64_t> OwnLogonSession() = 0;
    virtual ShellProcess Shell() = 0;
    // The program's own user (a SID), and whether it runs with the full rights of an
    // administrator that UAC elevated.
    virtual std::optional<std::string> OwnUser() = 0;
    virtual bool OwnRightsElevated() = 0;
    // Starts this program again with the arguments, as the shell's user and with the shell's
    // rights, and returns at once; false when it could not be started.
    virtual bool StartAsShellUser(std::string_view arguments) = 0;
    // Asks the shell to start this program with the arguments in its own process, as its user
    // and unelevated; false when the shell could not be asked.
    virtual bool StartThroughShell(std::string_view arguments) = 0;
    // Whether the letter is one of the user's network drives, connected or only remembered
    // (a disconnected one has no device, so DriveTarget finds nothing there); nullopt when the
    // system cannot say.
    virtual std::optional<bool> NetworkDriveLetter(char letter) = 0;
};

}  // namespace tovik
