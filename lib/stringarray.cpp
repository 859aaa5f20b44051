#include "lib/stringarray.h"

#include <cstring>

#include "lib/filename.h"
#include "lib/orvik.h"

namespace {
constexpr int LoadChunk = 32767;
}

STRINGARRAY::STRINGARRAY(int capacity) : DYNARRAY(capacity, DefaultGrowBy) { SetTypeName("STRINGARRAY"); }

STRINGARRAY::STRINGARRAY(const STRING& source, const char* delimiters, int capacity) : STRINGARRAY(capacity) {
    if (!source.NotNull()) {
        ORVIK_ASSERT(source.NotNull());
        return;
    }
    const char* text = source.c_str();
    const int length = source.Length();
    const char* cuts = delimiters != nullptr ? delimiters : "";
    int start = 0;
    for (int i = 0; i <= length; ++i) {
        const bool end = i == length;
        // memchr, not strchr: the terminator of delimiters is no delimiter.
        if (end || std::memchr(cuts, text[i], std::strlen(cuts)) != nullptr) {
            STRING piece;
            piece.Make(i - start, text + start);
            Append(piece);
            start = i + 1;
        }
    }
}

int STRINGARRAY::Compare(const STRING& a, const STRING& b, int flags) const {
    if (flags & STRINGARRAY_COMPARE_NUMERIC)
        return a.ToInt() - b.ToInt();
    if (flags & STRINGARRAY_COMPARE_NOCASE)
        return StringCompareNoCase(a.Text(), b.Text());
    return std::strcmp(a.Text(), b.Text());
}

int STRINGARRAY::Load(const char* filename, bool unescape) {
    const FILENAME name = [filename] {
        FILENAME n;
        n = filename;
        return n;
    }();
    LogPrintf("STRINGARRAY::Load %s (%d bytes)\n", name.Text(), static_cast<int>(name.Size()));
    FILEPTR file(FILENAME::fsopen(name.c_str(), "r", FSOPEN_SHARE_DEFAULT));
    int lines = 0;
    if (file) {
        std::unique_ptr<char[]> chunk(new char[LoadChunk + 1]);
        STRING line;
        line.MakeNotNull();
        auto take = [&](STRING& text) {
            Insert(lines, unescape ? text.Unescape(false) : text);
            ++lines;
            text = "";
        };
        while (std::fgets(chunk.get(), LoadChunk + 1, file.get()) != nullptr) {
            line.Append(chunk.get());
            const int n = line.Length();
            if (n == 0 || line[n - 1] != '\n')
                continue;
            // Windows' text mode drops the carriage return of a CR LF pair; other systems keep it.
            line.Truncate(n >= 2 && line[n - 2] == '\r' ? n - 2 : n - 1);
            take(line);
        }
        if (line.NotEmpty())
            take(line);
    }
    LogPrintf("STRINGARRAY::Load returns %d, %s\n", lines, OSYS::GetLastErrorString().Text());
    return lines;
}
