#pragma once
// UNZIPPER: the installer's view of one product archive (the copy step extracts through it, the disk-space
// estimate only lists it). The constructor lists the archive once; the caller walks the listing with
// GetFirstFile/GetNextFile (an empty name ends it) and extracts member by member with ExtractFile, which
// applies the "ProtectedFiles" and "AskOverwrite" policies of setup.cfg. The archive stays open and its
// directory parsed for the object's lifetime, so each extraction costs only the member's own data.
#include "lib/strings.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace orvik::unzip {
class ZipArchive;
class Messages;
struct Listing;
} // namespace orvik::unzip

class UNZIPPER {
public:
    // Asked before an "AskOverwrite" member replaces an existing file; subject is the item's description
    // or the member name. True replaces the file. Unset: the platform's question (a Yes/No message box on
    // Windows, string resources 2992 and 2993).
    using ASKOVERWRITE = std::function<bool(const STRING& subject)>;

    // Called once a member is about to be written (after the policy lists let it through), with the name
    // it is written under (WrittenName); 0 lets the write go on, else the system's error code, which fails
    // the extraction as a write failure with that code. The installer's journal backs up the file it would
    // replace here.
    using BEFOREWRITE = std::function<int(const STRING& member)>;

    UNZIPPER(const STRING& archive, const STRING& askoverwrite, const STRING& protectedfiles,
             ASKOVERWRITE ask = nullptr);
    ~UNZIPPER();
    UNZIPPER(const UNZIPPER&) = delete;
    UNZIPPER& operator=(const UNZIPPER&) = delete;

    void SetBeforeWrite(BEFOREWRITE before) { BeforeWrite = std::move(before); }

    // False when the archive cannot be opened or its directory cannot be read completely (more than a
    // warning): the package is damaged, and no member should be extracted from it.
    bool IsReadable() const { return Readable; }
    // Sum of the uncompressed sizes of all listed members.
    int64_t GetTotalSize() const;
    // Sets name to the first member's whole name, however long, and returns its size.
    int64_t GetFirstFile(STRING& name);
    // The member at the cursor; the name is empty after the last member.
    int64_t GetNextFile(STRING& name);
    // 1 when the member was extracted correctly or a policy list kept it back, else 0. *extracted (if
    // given) is 1 when the engine ran, 0 when a policy kept the existing file.
    int ExtractFile(const char* name, const char* destination, int* extracted = nullptr);
    // The path below destination that the member is written to, "/" separators: the listed name after the
    // mapping the engine applies on writing (":" to "_", a trailing ";1" dropped, spaces on FAT drives).
    // What the installer journals and records. Empty when the engine refuses the name.
    STRING WrittenName(const char* name, const char* destination);

    // Why the last ExtractFile returned 0: the archive is at fault (damaged data, a bad CRC, a member the
    // engine refuses to write, such as an unsafe name), so trying again cannot help; or writing the file
    // failed, which the user may be able to mend (a file in use, a full disk); or the member is packed with
    // a method the engine does not decode (LastMethod names it), which no retry mends either.
    enum class FAILURE { None, Archive, Write, Method };
    FAILURE LastFailure() const { return Failure; }
    // The system's error code of the write that made the last ExtractFile fail (GetLastError on Windows,
    // errno natively): a full disk, access denied, a file in use. 0 when no write failed or none is known.
    int LastSystemError() const { return SystemError; }
    // After FAILURE::Method: the method, as a user may read it ("bzip2 (method 12)").
    const STRING& LastMethod() const { return Method; }

private:
    bool IsProtected(const STRING& name, const STRING& destination) const;
    bool MayOverwrite(const STRING& name, const STRING& destination) const;

    STRING ArchiveName;
    STRING AskOverwriteList;
    STRING ProtectedList;
    int Cursor = 0;
    FAILURE Failure = FAILURE::None;
    int SystemError = 0;
    STRING Method;
    STRING Written; // of the member ExtractFile is extracting
    bool Readable = false;
    ASKOVERWRITE Ask;
    BEFOREWRITE BeforeWrite;
    std::unique_ptr<orvik::unzip::Messages> EngineMessages;
    std::unique_ptr<orvik::unzip::ZipArchive> Archive;
    std::unique_ptr<orvik::unzip::Listing> Table;
};

// Whether an entry of "ProtectedFiles" names the member: with "*" or "?" it is a pattern, otherwise the
// whole name; letter case is ignored and "\" reads as "/".
bool ProtectedEntryMatches(const STRING& entry, const STRING& member);

// The platform's overwrite question (unzipper_win32.cpp / unzipper_posix.cpp).
bool UnzipperAskOverwrite(const STRING& subject);
