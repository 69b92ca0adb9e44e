// The platform services on Windows.
#pragma once

#include <windows.h>

#include <functional>

#include "platform/Platform.h"
#include "platform/win32/ComApartment.h"
#include "platform/win32/Handles.h"

namespace tovik::win {

class Win32Platform : public Platform {
public:
    // The window that owns message boxes and the shell's delete windows: the open dialog if
    // there is one, else the main window.
    void SetOwnerSource(std::function<HWND()> owner) { owner_ = std::move(owner); }
    void SetMainWindow(HWND main) { main_ = main; }

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
    std::optional<std::string> ToAnsi(std::string_view text) override;
    bool SetAttributes(std::string_view path, int attributes) override;
    bool RunCommand(std::string_view program, std::string_view arguments, int showStyle) override;
    std::optional<int> RunCommandAndWait(std::string_view program, std::string_view arguments,
                                         int showStyle, int timeoutMs) override;
    std::optional<std::string> DriveTarget(char letter) override;
    bool Waiting() override { return waits_ > 0; }
    std::vector<bool> AskAside(std::vector<DiskQuestion> questions, int timeoutMs) override;
    void StopWaitedProgram() override;
    // A question to a disk that never answered still runs: the process must end without
    // taking the platform away under it.
    static bool QuestionsOut();
    std::uint32_t Ticks() override { return GetTickCount(); }
    std::optional<std::string> SystemDirectory() override;
    std::optional<std::string> WindowsDirectory() override;
    ShellDeleteOutcome ShellDelete(std::string_view path) override;
    void TellShell(ShellChange change, std::string_view path) override;
    int ShowMessage(std::string_view text, std::string_view title, int flags) override;

    // The user's session (UserSession.cpp).
    std::optional<std::uint64_t> OwnLogonSession() override;
    ShellProcess Shell() override;
    std::optional<std::string> OwnUser() override;
    bool OwnRightsElevated() override;
    bool StartAsShellUser(std::string_view arguments) override;
    bool StartThroughShell(std::string_view arguments) override;
    std::optional<bool> NetworkDriveLetter(char letter) override;

private:
    UniqueHandle instanceMutex_;
    std::function<HWND()> owner_;
    HWND main_ = nullptr;
    int waits_ = 0;                   // waits under way, one inside another at the session's end
    HANDLE waitedProgram_ = nullptr;  // the innermost program waited for
    ComApartment com_;

    UniqueLibrary network_;  // mpr.dll, loaded at the first question about a network drive
    bool networkTried_ = false;
};

}  // namespace tovik::win
