#include "platform/win32/ComApartment.h"

#include <objbase.h>

#include <algorithm>
#include <iterator>
#include <string>

namespace tovik::win {

// Only the shell's delete wants COM (its dialogs and the copy hooks of shell extensions are COM
// objects, which need a single-threaded apartment), so ole32 is loaded then, by its full path in
// the system folder, rather than by every start of the program.
bool ComApartment::Enter() {
    if (tried_) return uninitialize_ != nullptr;
    tried_ = true;
    constexpr wchar_t kName[] = L"\\ole32.dll";
    const UINT needed = GetSystemDirectoryW(nullptr, 0);
    if (needed == 0) return false;
    std::wstring path(needed + sizeof kName / sizeof kName[0], L'\0');
    const UINT length = GetSystemDirectoryW(path.data(), needed);
    if (length == 0 || length >= needed) return false;
    std::copy(std::begin(kName), std::end(kName), path.begin() + length);
    ole32_ = LoadLibraryW(path.c_str());
    if (!ole32_) return false;
    using Initialize = HRESULT(WINAPI*)(LPVOID, DWORD);
    const auto initialize = reinterpret_cast<Initialize>(
        reinterpret_cast<void*>(GetProcAddress(ole32_, "CoInitializeEx")));
    const auto uninitialize = reinterpret_cast<Uninitialize>(
        reinterpret_cast<void*>(GetProcAddress(ole32_, "CoUninitialize")));
    if (!initialize || !uninitialize ||
        FAILED(initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {
        return false;
    }
    uninitialize_ = uninitialize;
    return true;
}

ComApartment::~ComApartment() {
    if (uninitialize_) uninitialize_();
    if (ole32_) FreeLibrary(ole32_);
}

}  // namespace tovik::win
