// Stand-ins for the windows: they keep what the logic shows and answer as scripted.
#pragma once

#include <array>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/CommandBar.h"
#include "app/MainForm.h"

namespace tovik::test {

class FakeList : public PartitionListView {
public:
    std::vector<std::string> rows;
    int selected = -1;

    void Clear() override {
        rows.clear();
        selected = -1;
    }
    void AddRow(std::string_view text) override { rows.emplace_back(text); }
    bool Select(int row) override {
        if (row < 0 || row >= static_cast<int>(rows.size())) return false;
        selected = row;
        return true;
    }
    int SelectedRow() override { return selected; }
    std::optional<std::string> RowText(int row) override {
        if (row < 0 || row >= static_cast<int>(rows.size())) return std::nullopt;
        return rows[row];
    }
    void SetSelectedRowText(std::string_view text) override {
        if (selected >= 0) rows[selected] = text;
    }
};

class FakeBarView : public CommandBarView {
public:
    std::array<Face, kCommandCount> faces{};
    std::array<TwipRect, kCommandCount> labels{};
    std::vector<std::string> log;  // "face 2 hover", "label 0"

    FakeBarView() {
        for (int i = 0; i < kCommandCount; ++i) labels[i] = CommandLabelDesignRect(i);
    }
    void SetFace(int index, Face face) override {
        faces[index] = face;
        log.push_back("face " + std::to_string(index) + " " + Name(face));
    }
    void SetLabelRect(int index, const TwipRect& rect) override {
        labels[index] = rect;
        log.push_back("label " + std::to_string(index));
    }
    static std::string Name(Face face) {
        return face == Face::Normal ? "normal" : face == Face::Hover ? "hover" : "disabled";
    }
};

// The set-password dialog with its two boxes; the scripted OK presses run while it is shown.
class FakeSetPasswordView : public SetPasswordView {
public:
    std::string first, second;
    bool closed = false;
    bool focusedAndSelected = false;
    std::string FirstEntry() override { return first; }
    std::string SecondEntry() override { return second; }
    void FocusFirstEntryAndSelectAll() override { focusedAndSelected = true; }
    void Close() override { closed = true; }
};

class FakeDialogs : public FormDialogs {
public:
    std::deque<std::optional<std::string>> prompts;  // answers of the password prompt
    std::vector<std::pair<std::string, std::string>> setPasswordEntries;  // OK presses
    std::function<void()> whilePromptOpen;  // runs while the prompt is shown
    int promptShown = 0;
    int setPasswordShown = 0;
    int aboutShown = 0;
    FakeSetPasswordView lastSetPassword;

    std::optional<std::string> AskPassword() override {
        ++promptShown;
        if (whilePromptOpen) whilePromptOpen();
        if (prompts.empty()) return std::nullopt;
        auto answer = prompts.front();
        prompts.pop_front();
        return answer;
    }
    void ShowSetPassword(const std::function<void(SetPasswordView&)>& onOk) override {
        ++setPasswordShown;
        lastSetPassword = {};
        for (const auto& [first, second] : setPasswordEntries) {
            lastSetPassword.first = first;
            lastSetPassword.second = second;
            onOk(lastSetPassword);
            if (lastSetPassword.closed) break;
        }
    }
    void ShowAbout() override { ++aboutShown; }
};

class FakeForm : public FormView {
public:
    bool modalOpen = false;
    bool minimized = false;
    std::vector<std::string> log;
    std::function<void()> onUnload;

    bool hidden = false;

    bool ModalOpen() override { return modalOpen; }
    void BringModalToFront() override { log.push_back("BringModalToFront"); }
    void ShowNormal() override { log.push_back("ShowNormal"); }
    void ShowMinimized() override { log.push_back("ShowMinimized"); }
    bool IsMinimized() override { return minimized; }
    bool IsHidden() override { return hidden; }
    void Hide() override { log.push_back("Hide"); }
    void Unload() override {
        log.push_back("Unload");
        if (onUnload) onUnload();
    }
    void UnloadForSessionEnd() override { log.push_back("UnloadForSessionEnd"); }
    void EndNow() override { log.push_back("EndNow"); }
};

class FakeTray : public TrayIcon {
public:
    std::vector<std::string>* log = nullptr;  // shared with the platform's record when set
    std::vector<std::string> own;
    std::deque<bool> shellTakes;  // the shell's answers to adds, yes when empty
    std::vector<int> retries;     // the delays asked for

    void TrayHook() override { Log("TrayHook"); }
    bool TrayAdd(std::string_view tip) override {
        Log("TrayAdd " + std::string(tip));
        if (shellTakes.empty()) return true;
        const bool taken = shellTakes.front();
        shellTakes.pop_front();
        return taken;
    }
    void TrayRemove() override { Log("TrayRemove"); }
    void RetryLater(int delayMs) override { retries.push_back(delayMs); }
    void ShowMenu() override { Log("ShowMenu"); }

private:
    void Log(const std::string& entry) { (log ? *log : own).push_back(entry); }
};

}  // namespace tovik::test
