// The owners of Windows handles (lib/scopedhandle.h) and of a thread's COM initialisation.
#pragma once

#include <windows.h>

#include <objbase.h>

#include "lib/scopedhandle.h"

// A kernel object handle whose "none" is null (processes, threads, events, mutexes), closed with CloseHandle.
struct KERNELTRAITS {
    using VALUE = HANDLE;
    static constexpr VALUE Null() { return nullptr; }
    static void Close(VALUE handle) { ::CloseHandle(handle); }
};
using KERNELHANDLE = SCOPEDHANDLE<KERNELTRAITS>;

// A file handle from CreateFile, whose "none" is INVALID_HANDLE_VALUE.
struct FILETRAITS {
    using VALUE = HANDLE;
    static VALUE Null() { return INVALID_HANDLE_VALUE; }
    static void Close(VALUE handle) { ::CloseHandle(handle); }
};
using FILEHANDLE = SCOPEDHANDLE<FILETRAITS>;

// A search of FindFirstFile, ended with FindClose.
struct FINDTRAITS {
    using VALUE = HANDLE;
    static VALUE Null() { return INVALID_HANDLE_VALUE; }
    static void Close(VALUE handle) { ::FindClose(handle); }
};
using FINDHANDLE = SCOPEDHANDLE<FINDTRAITS>;

// A GDI object of type T (HPEN, HFONT, HBITMAP, HGDIOBJ ...), deleted with DeleteObject. It must not be
// selected into a device context when it goes.
template <typename T> struct GDITRAITS {
    using VALUE = T;
    static constexpr VALUE Null() { return nullptr; }
    static void Close(VALUE object) { ::DeleteObject(object); }
};
template <typename T = HGDIOBJ> using GDIHANDLE = SCOPEDHANDLE<GDITRAITS<T>>;

// A device context made with CreateDC or CreateCompatibleDC, deleted with DeleteDC.
struct DCTRAITS {
    using VALUE = HDC;
    static constexpr VALUE Null() { return nullptr; }
    static void Close(VALUE dc) { ::DeleteDC(dc); }
};
using DCHANDLE = SCOPEDHANDLE<DCTRAITS>;

// A top-level window this code created, destroyed with DestroyWindow (its child windows go with it).
struct WINDOWTRAITS {
    using VALUE = HWND;
    static constexpr VALUE Null() { return nullptr; }
    static void Close(VALUE window) { ::DestroyWindow(window); }
};
using WINDOWHANDLE = SCOPEDHANDLE<WINDOWTRAITS>;

// COM for the current thread (single-threaded apartment) for the lifetime of the object; undone only when
// this object's initialisation succeeded, so that the thread's COM use stays balanced.
class COMSCOPE {
public:
    COMSCOPE() : Result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~COMSCOPE() {
        if (SUCCEEDED(Result))
            CoUninitialize();
    }
    COMSCOPE(const COMSCOPE&) = delete;
    COMSCOPE& operator=(const COMSCOPE&) = delete;
    HRESULT GetResult() const { return Result; }

private:
    HRESULT Result;
};
