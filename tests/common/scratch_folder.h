// A fresh folder for one test, removed with everything in it (read-only files too) when the object goes.
// It lies below the temporary folder, or below the base a test gives: tests that delete trees under Wine
// pass a drive of their own, never one through which the Linux root is reached.
#pragma once

#include <filesystem>
#include <string>

class SCRATCHFOLDER {
public:
    // The folder's name is the label, the process and a serial number of the process.
    explicit SCRATCHFOLDER(const std::string& label = "orvik_test", const std::filesystem::path& base = {});
    // One below the temporary folder that is the working folder while it lives.
    struct WORKING {};
    static constexpr WORKING Working{};
    explicit SCRATCHFOLDER(WORKING);
    ~SCRATCHFOLDER();
    SCRATCHFOLDER(const SCRATCHFOLDER&) = delete;
    SCRATCHFOLDER& operator=(const SCRATCHFOLDER&) = delete;

    const std::filesystem::path& Path() const { return Folder; }
    std::string Text() const { return Folder.string(); }
    std::string File(const std::string& relative) const { return (Folder / relative).string(); }
    // Writes a file below the folder, making the folders on its way.
    void Write(const std::string& relative, const std::string& contents) const;
    bool Exists(const std::string& relative) const { return std::filesystem::exists(Folder / relative); }

private:
    std::filesystem::path Folder;
    std::filesystem::path Previous; // the working folder before, when it is the working folder
};
