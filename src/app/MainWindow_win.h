// Form1: the main window with the partition list, the button panel and the banner.
#pragma once

#include <string>

#include "app/CommandPanel_win.h"
#include "app/MainForm.h"
#include "app/MainLayout.h"
#include "platform/win32/Dialog.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Picture.h"
#include "platform/win32/Window.h"

namespace tovik::win {

class MainWindow : public Window, public PartitionListView, public FormView {
public:
    explicit MainWindow(ModalHost& host) : host_(host), layout_(kBaseDpi), panel_(layout_) {}

    // Creates the window and its controls, still hidden.
    bool Create();
    void Attach(MainForm& form);
    // Asks the copy already running to come forward; false when there is none to ask.
    static bool BringRunningCopyForward();

    CommandPanel& Panel() { return panel_; }
    HMENU TrayMenu() const { return menu_.Get(); }

    // List1.
    void Clear() override;
    void AddRow(std::string_view text) override;
    bool Select(int row) override;
    int SelectedRow() override;
    std::optional<std::string> RowText(int row) override;
    void SetSelectedRowText(std::string_view text) override;

    // The window itself.
    bool ModalOpen() override;
    void BringModalToFront() override;
    void ShowNormal() override;
    void ShowMinimized() override;
    bool IsMinimized() override;
    bool IsHidden() override;
    void Hide() override;
    void Unload() override { Unload(UnloadMode::User); }
    void UnloadForSessionEnd() override { Unload(UnloadMode::SessionEnd); }
    void EndNow() override;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void LayOut(const RECT* suggested);
    void LoadIcons();
    void UpdateListExtent();
    void Unload(UnloadMode mode);
    std::optional<std::wstring> ListRow(int row) const;
    HWND FocusToRestore() const;
    void Paint(HDC dc);
    bool OverBanner(LPARAM point) const;

    ModalHost& host_;
    MainForm* form_ = nullptr;
    MainLayout layout_;
    HWND list_ = nullptr;
    HWND lastFocus_ = nullptr;
    CommandPanel panel_;
    Picture banner_;
    UniqueFont font_;
    UniqueBrush listBrush_;
    UniqueIcon classIcon_;  // the class's icons, at the screen's resolution
    UniqueIcon classSmallIcon_;
    UniqueIcon bigIcon_;
    UniqueIcon smallIcon_;
    UniqueMenu menu_;
    std::wstring credit_;
    UINT comeForward_ = 0;
    bool unloaded_ = false;
};

}  // namespace tovik::win
