// Picture1: the button panel. One window paints the six faces and captions and hit-tests the
// label rectangles, which is all the labels over the images ever were.
#pragma once

#include <array>
#include <string>

#include "app/CommandBar.h"
#include "app/MainForm.h"
#include "platform/win32/Handles.h"
#include "platform/win32/Picture.h"
#include "platform/win32/Window.h"

namespace tovik::win {

class CommandPanel : public Window, public CommandBarView {
public:
    bool Create(HWND parent, const Dpi& dpi);
    void Attach(MainForm& form) { form_ = &form; }

    void SetFace(int index, Face face) override;
    void SetLabelRect(int index, const TwipRect& rect) override;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    int LabelAt(LPARAM point) const;
    void Paint(HDC dc, const RECT& client);
    void Press(LPARAM point);
    void Release(LPARAM point);
    bool Key(WPARAM key);

    MainForm* form_ = nullptr;
    Dpi dpi_;
    std::array<const Picture*, kCommandCount> faces_{};  // none until the first repaint
    std::array<RECT, kCommandCount> labels_{};
    Picture normal_, hover_, disabled_;
    UniqueFont captionFont_;
    std::array<std::wstring, kCommandCount> captions_;
    int pressed_ = -1;
};

}  // namespace tovik::win
