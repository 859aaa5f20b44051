// Owners for the COM resources of the Windows-only code: an interface reference, a BSTR and the COM
// initialisation of a thread. Each releases what it holds when it goes out of scope.
#pragma once

#include <windows.h>

#include <objbase.h>
#include <oleauto.h>

#include <string>

#include "lib/textcodec.h"

// One reference to a COM interface.
template <class T> class COMPTR {
public:
    COMPTR() = default;
    // Takes over a reference the caller already owns.
    explicit COMPTR(T* adopted) : Ptr(adopted) {}
    ~COMPTR() { Reset(); }
    COMPTR(const COMPTR&) = delete;
    COMPTR& operator=(const COMPTR&) = delete;
    COMPTR(COMPTR&& other) noexcept : Ptr(other.Ptr) { other.Ptr = nullptr; }
    COMPTR& operator=(COMPTR&& other) noexcept {
        if (this != &other) {
            Reset();
            Ptr = other.Ptr;
            other.Ptr = nullptr;
        }
        return *this;
    }

    T* Get() const { return Ptr; }
    T* operator->() const { return Ptr; }
    explicit operator bool() const { return Ptr != nullptr; }

    // Releases the current reference and hands out the slot for a function that returns a new one.
    T** Receive() {
        Reset();
        return &Ptr;
    }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

    // Asks the object for another of its interfaces.
    template <class U> HRESULT QueryInto(REFIID iid, COMPTR<U>& target) const {
        return Ptr ? Ptr->QueryInterface(iid, target.ReceiveVoid()) : E_POINTER;
    }

    void Reset() {
        if (Ptr)
            Ptr->Release();
        Ptr = nullptr;
    }

private:
    T* Ptr = nullptr;
};

// A BSTR made from the program's 8-bit text; null when the text is null or memory ran out.
class BSTRTEXT {
public:
    explicit BSTRTEXT(const char* text) {
        if (text == nullptr)
            return;
        const std::u16string wide = TEXTCODEC::ToWide(text);
        Text =
            SysAllocStringLen(reinterpret_cast<const OLECHAR*>(wide.data()), static_cast<UINT>(wide.size()));
    }
    ~BSTRTEXT() { SysFreeString(Text); }
    BSTRTEXT(const BSTRTEXT&) = delete;
    BSTRTEXT& operator=(const BSTRTEXT&) = delete;

    BSTR Get() const { return Text; }
    bool IsNull() const { return Text == nullptr; }
    UINT Length() const { return SysStringLen(Text); }

private:
    BSTR Text = nullptr;
};
