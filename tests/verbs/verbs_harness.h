// What the tests of the command verbs and run modes need around a run of setup.exe: a prepared folder (the
// application root's SETUPFOLDER) with an optional sample hook library, the run itself with its message box
// answered like a person does, the values under HKLM "Software\Orvik\" and setup's own log.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "tests/common/hookcalls.h"
#include "tests/robot/uirobot.h"
#include "tests/common/setup_folder.h"

namespace verbs {

using uirobot::Milliseconds;
constexpr Milliseconds kRunTimeout{30000};

// Builds of the sample hook library (tests/hook).
constexpr const char* kCompleteHook = "complete";
constexpr const char* kHookWithoutNewSetupHook = "without-newsetuphook";
constexpr const char* kHookWithoutSetupHook = "without-setuphook";

// Puts a sample hook library beside setup.exe; adminanswer >= 0 configures its answer to ADMIN.
inline std::string AddHookLibrary(const SETUPFOLDER& folder, const char* build, int adminanswer = -1) {
    std::filesystem::copy_file(std::filesystem::path(ORVIK_HOOK_DIR) / build / "SETUPHOOK.dll",
                               folder.Path / "SETUPHOOK.dll");
    if (adminanswer >= 0)
        folder.Write("SETUPHOOK.admin", std::to_string(adminanswer));
    return folder.File("SETUPHOOK.dll");
}

// The record of the hook library beside setup.exe, one text per line: "SetupHook 256 ADDPRINTER".
inline std::vector<std::string> HookRecord(const SETUPFOLDER& folder) {
    std::vector<std::string> lines;
    for (const hookcalls::CALL& call : hookcalls::Read(folder.File("SETUPHOOK.dll"))) {
        std::string line = call.Entry;
        for (const std::string& field : call.Fields)
            line += " " + field;
        lines.push_back(line);
    }
    return lines;
}

// A message box as the user saw it.
struct SHOWNBOX {
    std::string Title;
    std::string Message;
    std::vector<std::string> Buttons;
};

// What a run of setup.exe left behind for the user: its exit code, the message boxes it showed (each
// answered with OK) and its log.
struct RUN {
    std::optional<DWORD> ExitCode; // none when it did not end in time
    std::vector<SHOWNBOX> Boxes;
    std::string Log;
};

// Runs setup.exe in its folder (or in workingdirectory) with arguments and a log. A message box that comes up
// is read and answered with OK, as a person would, so a test sees every box of the run.
inline RUN RunSetup(const SETUPFOLDER& folder, const std::string& arguments, const std::string& program = {},
                    const std::string& workingdirectory = {}) {
    const std::string log = folder.File("setup-run.log");
    uirobot::RobotProcess process = uirobot::RobotProcess::start(
        program.empty() ? folder.Program() : program, "/LOGIT:" + log + " " + arguments,
        workingdirectory.empty() ? folder.Path.string() : workingdirectory);
    const uirobot::WindowFinder finder(process);
    RUN run;
    const auto deadline = std::chrono::steady_clock::now() + kRunTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        run.ExitCode = process.waitForExit(Milliseconds{100});
        if (run.ExitCode)
            break;
        const uirobot::Window window = finder.find(uirobot::WindowQuery::ofClass("#32770"));
        if (!window)
            continue;
        const uirobot::MessageBoxWindow box(window);
        run.Boxes.push_back({box.title(), box.message(), box.buttons()});
        box.answer(IDOK);
    }
    run.Log = folder.Read("setup-run.log");
    return run;
}

// Text of a language library's message, with each run of line breaks and blanks as one blank: the message
// box reflows the lines, and the words are what the user reads.
inline std::string Words(const std::string& text) {
    std::string words;
    for (char c : text) {
        const bool blank = c == ' ' || c == '\r' || c == '\n' || c == '\t';
        if (!blank)
            words += c;
        else if (!words.empty() && words.back() != ' ')
            words += ' ';
    }
    while (!words.empty() && words.back() == ' ')
        words.pop_back();
    return words;
}

inline std::string EnglishText(const SETUPFOLDER& folder, int id) {
    return LibraryString(folder.File("setupenglish.dll"), id);
}

// Fails unless the run showed exactly one box: message id of the English library, titled with message 2900,
// with only an OK button.
inline ::testing::AssertionResult ShowedOnly(const RUN& run, const SETUPFOLDER& folder, int id) {
    if (run.Boxes.size() != 1)
        return ::testing::AssertionFailure() << run.Boxes.size() << " message boxes instead of one";
    const SHOWNBOX& box = run.Boxes[0];
    if (box.Title != EnglishText(folder, 2900))
        return ::testing::AssertionFailure() << "title \"" << box.Title << "\"";
    if (Words(box.Message) != Words(EnglishText(folder, id)))
        return ::testing::AssertionFailure() << "message \"" << box.Message << "\", expected message " << id
                                             << " \"" << EnglishText(folder, id) << "\"";
    if (box.Buttons != std::vector<std::string>{"OK"})
        return ::testing::AssertionFailure() << "buttons other than OK";
    return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult ShowedNothing(const RUN& run) {
    if (run.Boxes.empty())
        return ::testing::AssertionSuccess();
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    for (const SHOWNBOX& box : run.Boxes)
        failure << "shown: \"" << box.Title << "\": \"" << box.Message << "\"\n";
    return failure;
}

// A key of its own below HKLM "Software\Orvik\" for one test, removed with everything in it afterwards.
class ORVIKKEY {
public:
    ORVIKKEY() {
        static int counter = 0;
        Subkey = "VerbTest_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
        Remove();
    }
    ~ORVIKKEY() { Remove(); }
    ORVIKKEY(const ORVIKKEY&) = delete;
    ORVIKKEY& operator=(const ORVIKKEY&) = delete;

    std::string Path() const { return "Software\\Orvik\\" + Subkey; }

    // The value's type and bytes; none when it is not there.
    struct VALUE {
        DWORD Type = REG_NONE;
        std::vector<uint8_t> Bytes;
    };
    std::optional<VALUE> Read(const std::string& name) const {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, Path().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return std::nullopt;
        VALUE value;
        DWORD size = 0;
        LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &value.Type, nullptr, &size);
        if (rc == ERROR_SUCCESS) {
            value.Bytes.resize(size);
            rc = RegQueryValueExA(key, name.c_str(), nullptr, &value.Type, value.Bytes.data(), &size);
            value.Bytes.resize(size);
        }
        RegCloseKey(key);
        if (rc != ERROR_SUCCESS)
            return std::nullopt;
        return value;
    }
    void WriteText(const std::string& name, const std::string& text) const {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, Path().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
        RegCloseKey(key);
    }

    std::string Subkey;

private:
    void Remove() const { RegDeleteTreeA(HKEY_LOCAL_MACHINE, Path().c_str()); }
};

inline std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> bytes;
    for (int value : values)
        bytes.push_back(static_cast<uint8_t>(value));
    return bytes;
}

// Fails unless the log holds the line part.
inline ::testing::AssertionResult Logged(const RUN& run, const std::string& part) {
    if (run.Log.find(part) != std::string::npos)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "not in the log: \"" << part << "\"\nlog:\n" << run.Log;
}

inline ::testing::AssertionResult NotLogged(const RUN& run, const std::string& part) {
    if (run.Log.find(part) == std::string::npos)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "in the log: \"" << part << "\"";
}

} // namespace verbs
