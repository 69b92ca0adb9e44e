// Resource numbers of Tovik.exe, shared by the resource script and the code.
#pragma once

// The program's only icon: the window, the program file and the tray show it.
#define IDI_TOVIK 1

// Pictures and the dialogs' icons, kept as raw files (RCDATA).
#define IDR_FACE_NORMAL 101
#define IDR_FACE_HOVER 102
#define IDR_FACE_DISABLED 103
#define IDR_BANNER 104
#define IDR_ABOUT_BANNER 105
#define IDR_KEY_ICON 106
#define IDR_PADLOCK_ICON 107
