// COMWARMUP: COM classes made ready ahead of their first use. A thread of its own enters a COM apartment
// (whose window connects the process to the window system) and loads the in-process servers of the given
// classes, while the thread that will use them does other work. The servers stay loaded until the object
// goes, so a later CoCreateInstance on any thread finds them in the process. Nothing depends on it: a class
// that cannot be loaded here is loaded, or fails, where it is used.
#pragma once

#include <windows.h>

#include <vector>

#include "lib/winhandles.h"

class COMWARMUP {
public:
    explicit COMWARMUP(std::vector<CLSID> classes);
    // Lets the thread release the servers and waits for it to end.
    ~COMWARMUP();
    COMWARMUP(const COMWARMUP&) = delete;
    COMWARMUP& operator=(const COMWARMUP&) = delete;

    // Waits until the classes are loaded (or found unloadable); true when all of them are, false when
    // there was nothing to load.
    bool WaitReady();

private:
    static void Run(void* self);

    const std::vector<CLSID> Classes;
    KERNELHANDLE Ready;   // set by the thread once it holds the class objects
    KERNELHANDLE Release; // set by the destructor: the thread lets go and ends
    void* Thread = nullptr;
    LONG Loaded = 0;
};
