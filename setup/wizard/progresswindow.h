// The small window of an installation started with "/SILENT": no wizard pages, only the product title, a
// progress bar and the status line while the installation runs on the calling thread. Questions are
// message boxes over it, unless nobody is to be asked ("/SUPPRESSMSGBOXES"): then they take their default.
#pragma once

#include <memory>

#include "lib/strings.h"
#include "lib/winhandles.h"
#include "setup/interaction.h"

class CONTROL;
class PROGRESSBAR;

class PROGRESSWINDOW : public INTERACTION {
public:
    PROGRESSWINDOW(const STRING& title, bool askperson);
    ~PROGRESSWINDOW() override;
    PROGRESSWINDOW(const PROGRESSWINDOW&) = delete;
    PROGRESSWINDOW& operator=(const PROGRESSWINDOW&) = delete;

    void SetProgress(int percent) override;
    void SetStatus(const char* text) override;
    bool AskYesNo(const char* title, const char* question, bool defaultanswer) override;
    void ReportError(const char* title, const char* text) override;
    void* ProgressWindow() const override;

private:
    // The installation runs on this thread: the window is repainted between its steps.
    void ServeMessages();

    bool AskPerson;
    QUIETINTERACTION Log; // the log of what was shown and what was answered by default
    WINDOWHANDLE Window;
    std::unique_ptr<PROGRESSBAR> Bar;
    std::unique_ptr<CONTROL> Status;
};
