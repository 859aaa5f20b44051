// Helpers shared by the tests: assertion counting, log capture, whole files, the environment.
#pragma once

#include <filesystem>
#include <string>

#include "lib/orvik.h"
#include "lib/strings.h"
#include "tests/common/scratch_folder.h"

// Counts the assertions that fail while it lives.
class ASSERTWATCH {
public:
    ASSERTWATCH() : Before(LastAssertFailure().Count) {}
    unsigned long Failures() const { return LastAssertFailure().Count - Before; }
    std::string LastCondition() const { return LastAssertFailure().Condition.Text(); }
    std::string LastInfo() const { return LastAssertFailure().Info.Text(); }

private:
    unsigned long Before;
};

// Writes the log to a file of its own while it lives.
class LOGCAPTURE {
public:
    explicit LOGCAPTURE(const std::string& file, const char* switchname = "/LOGIT:");
    ~LOGCAPTURE();
    // Closes the log and returns everything written.
    std::string Finish();

private:
    std::string File;
    bool Closed = false;
};

std::string ReadWholeFile(const std::string& name);
void WriteWholeFile(const std::string& name, const std::string& contents);
int CountOccurrences(const std::string& text, const std::string& what);
// Sets (value non-null) or removes an environment variable of this process.
void TestSetEnv(const char* name, const char* value);
// The number the system knows this process by.
unsigned long TestProcessId();
