#include "tools/setuppack/archivecheck.h"

#include "lib/ownedpath.h"
#include "unzip/engine.h"

namespace setuppack {

namespace {

using namespace orvik::unzip;

// Takes the decoded bytes and drops them: the engine checks the size and the CRC itself.
class DISCARDSINK : public OutputSink {
public:
    bool Write(const uint8_t*, size_t) override { return true; }
};

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    while (!text.empty() && (text.front() == '\n' || text.front() == ' '))
        text.erase(text.begin());
    return text;
}

// The engine's own words for what went wrong, on one line.
std::string Reason(const CollectedMessages& messages, int code) {
    std::string text;
    for (char c : Trimmed(messages.Text())) {
        c = c == '\n' ? ' ' : c;
        if (!(c == ' ' && !text.empty() && text.back() == ' '))
            text += c;
    }
    return text.empty() ? "result code " + std::to_string(code)
                        : text + " (result code " + std::to_string(code) + ")";
}

} // namespace

ARCHIVESUMMARY CheckArchive(const std::string& folder, const std::string& name, REPORT& report) {
    ARCHIVESUMMARY summary;
    CollectedMessages messages;
    ZipArchive archive(messages);
    const int opened = archive.Open(folder + "/" + name, 2);
    if (!archive.IsUsable()) {
        report.Add(name, 0, "does not open as a ZIP archive: " + Reason(messages, opened));
        return summary;
    }
    summary.Opened = true;
    if (opened != kOk)
        report.Add(name, 0,
                   "opens only with a complaint, which setup takes as a failure: " +
                       Reason(messages, opened));
    const std::vector<ZipEntry>& entries = archive.Entries();
    if (entries.empty())
        report.Add(name, 0, "holds no member: setup stops with an assertion");
    for (size_t i = 0; i < entries.size(); ++i) {
        const ZipEntry& entry = entries[i];
        summary.Members.push_back(entry.name);
        summary.Bytes += entry.uncompressedSize;
        if (!IsNameBelow(entry.name.c_str()))
            report.Add(name, 0,
                       "member \"" + entry.name +
                           "\" has an unsafe name: setup does not write it below the destination");
        const std::string method = MethodNotDecoded(entry);
        if (!method.empty()) {
            report.Add(name, 0,
                       "member \"" + entry.name + "\" is packed with " + method +
                           ", which setup cannot read: setup stops copying there");
            continue;
        }
        messages.Clear();
        DISCARDSINK sink;
        const int tested = archive.Test(i, sink);
        if (tested != kOk)
            report.Add(name, 0, "member \"" + entry.name + "\" fails: " + Reason(messages, tested));
    }
    return summary;
}

} // namespace setuppack
