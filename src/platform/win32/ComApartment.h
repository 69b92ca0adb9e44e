// COM on the user-interface thread, started only when the shell is about to need it.
#pragma once

#include <windows.h>

namespace tovik::win {

class ComApartment {
public:
    ComApartment() = default;
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    // Once per run; later calls do nothing. False when COM could not be started.
    bool Enter();
    // A function of COM's, once it has started; null before.
    template <typename Function>
    Function Find(const char* name) const {
        return uninitialize_ ? reinterpret_cast<Function>(
                                   reinterpret_cast<void*>(GetProcAddress(ole32_, name)))
                             : nullptr;
    }

private:
    HMODULE ole32_ = nullptr;
    using Uninitialize = void(WINAPI*)();
    Uninitialize uninitialize_ = nullptr;
    bool tried_ = false;
};

}  // namespace tovik::win
