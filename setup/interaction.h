// What an installation or a removal shows and asks while it works, whoever is in front of it: the wizard's
// worker page, a small progress window ("/SILENT") or nobody ("/VERYSILENT", "/SUPPRESSMSGBOXES"). The work
// itself never touches a window; it talks to this interface from its worker thread.
#pragma once

class INTERACTION {
public:
    virtual ~INTERACTION() = default;

    // How far the work is, 0 to 100.
    virtual void SetProgress(int percent) = 0;
    // The line that says what is being done now.
    virtual void SetStatus(const char* text) = 0;
    // A yes/no question. defaultanswer is what it takes when no person is asked, and it must be the answer
    // that ends a loop (a retry question defaults to no).
    virtual bool AskYesNo(const char* title, const char* question, bool defaultanswer) = 0;
    // An error the person should know of; nobody to tell: it is only logged.
    virtual void ReportError(const char* title, const char* text) = 0;
    // The progress bar window handed to the hooks; null when nothing is shown.
    virtual void* ProgressWindow() const = 0;
    // The person asked to stop: the work ends at the next point where it can be undone.
    virtual bool StopRequested() const { return false; }
};

// Nobody is asked: questions take their default answer, errors and progress go to the log only.
class QUIETINTERACTION : public INTERACTION {
public:
    void SetProgress(int percent) override;
    void SetStatus(const char* text) override;
    bool AskYesNo(const char* title, const char* question, bool defaultanswer) override;
    void ReportError(const char* title, const char* text) override;
    void* ProgressWindow() const override { return nullptr; }

private:
    int LastLoggedPercent = -10; // no tenth logged yet (-1 would count as the first tenth: -1 / 10 is 0)
};
