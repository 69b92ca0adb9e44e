// Picture1, the button panel, and the six commands as the system's push buttons: each button
// lies where its label lies and shows the panel's picture of that place, face and caption.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <array>

#include "app/CommandBar.h"
#include "app/MainForm.h"
#include "app/MainLayout.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Picture.h"
#include "platform/win32/Window.h"

namespace tovik::win {

class CommandPanel : public Window, public CommandBarView {
public:
    explicit CommandPanel(MainLayout& layout) : layout_(layout) {}
    bool Create(HWND parent);
    void Attach(MainForm& form) { form_ = &form; }
    // Places the panel and its buttons and makes the caption font for the layout's resolution.
    void LayOut();

    void SetFace(int index, Face face) override;
    void SetLabelRect(int index, const TwipRect& rect) override;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    static LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR index, DWORD_PTR panel);
    // A message on to the button's own procedure, and whatever subclassed it after us.
    static LRESULT Pass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        return DefSubclassProc(hwnd, message, wParam, lParam);
    }
    LRESULT ButtonMessage(HWND hwnd, int index, UINT message, WPARAM wParam, LPARAM lParam);
    void MakeButtons();
    void Paint(HDC dc);
    void PaintBuffered(HDC target, const RECT& area);
    void DrawButton(const DRAWITEMSTRUCT& item);
    void Press(int index);
    LRESULT Release(HWND hwnd, int index, UINT message, WPARAM wParam, LPARAM lParam);
    void Clicked(int index);
    void MoveFocus(int from, BarKey key);
    void SetTabStop(int index);
    int Focused() const;

    MainLayout& layout_;
    MainForm* form_ = nullptr;
    std::array<HWND, kCommandCount> buttons_{};
    std::array<const Picture*, kCommandCount> faces_{};  // none until the first repaint
    Picture normal_, hover_, disabled_;
    UniqueFont captionFont_;
    int pressed_ = -1;    // the button the mouse pressed
    int releasing_ = -1;  // the button whose release is under way
    int tabStop_ = -1;    // the one button Tab stops at
    bool buttonsMade_ = false;
};

}  // namespace tovik::win
