// SCOPEDHANDLE: the one owner of a system handle. TRAITS names the handle's type (VALUE), the value that
// owns nothing (Null()) and how an owned handle is given back (Close). The owner closes its handle when it
// goes, can be moved but not copied, and hands the handle out (get), gives it up (release) or takes
// another (reset). The Windows handles and their traits are in lib/winhandles.h.
#pragma once

template <typename TRAITS> class SCOPEDHANDLE {
public:
    using VALUE = typename TRAITS::VALUE;

    SCOPEDHANDLE() = default;
    explicit SCOPEDHANDLE(VALUE value) : Value(value) {}
    ~SCOPEDHANDLE() { reset(); }
    SCOPEDHANDLE(SCOPEDHANDLE&& other) noexcept : Value(other.release()) {}
    SCOPEDHANDLE& operator=(SCOPEDHANDLE&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    SCOPEDHANDLE(const SCOPEDHANDLE&) = delete;
    SCOPEDHANDLE& operator=(const SCOPEDHANDLE&) = delete;

    VALUE get() const { return Value; }
    explicit operator bool() const { return Value != TRAITS::Null(); }

    // The handle leaves the owner unclosed.
    VALUE release() {
        const VALUE value = Value;
        Value = TRAITS::Null();
        return value;
    }
    // Closes what is owned and owns value instead.
    void reset(VALUE value = TRAITS::Null()) {
        const VALUE previous = Value;
        Value = value;
        if (previous != TRAITS::Null() && previous != value)
            TRAITS::Close(previous);
    }
    // For calls that hand out a new handle through a pointer: what is owned is closed first.
    VALUE* receive() {
        reset();
        return &Value;
    }

private:
    VALUE Value = TRAITS::Null();
};

#if defined(_WIN32)
// Libraries and registry keys are owned by classes of lib/osys.h, which stays free of <windows.h>: their
// handle types are declared here as <windows.h> declares them.
struct HINSTANCE__;
struct HKEY__;

// A loaded library (HMODULE), freed with FreeLibrary.
struct LIBRARYTRAITS {
    using VALUE = HINSTANCE__*;
    static constexpr VALUE Null() { return nullptr; }
    static void Close(VALUE module);
};
using LIBRARYHANDLE = SCOPEDHANDLE<LIBRARYTRAITS>;

// An open registry key (HKEY), closed with RegCloseKey.
struct REGKEYTRAITS {
    using VALUE = HKEY__*;
    static constexpr VALUE Null() { return nullptr; }
    static void Close(VALUE key);
};
using REGKEY = SCOPEDHANDLE<REGKEYTRAITS>;
#endif
