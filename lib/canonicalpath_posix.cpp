// The canonical form's seam in the native build: no Windows disk to look at, so paths are judged by their
// text alone (the unit tests give a seam of their own that plays a disk).
#include "lib/canonicalpath.h"

namespace {

class TEXTPATHS : public PATHSYSTEM {
public:
    bool FullPath(const std::u16string&, std::u16string*) const override { return false; }
    bool Exists(const std::u16string&) const override { return false; }
    bool LongPath(const std::u16string&, std::u16string*) const override { return false; }
    bool FinalPath(const std::u16string&, std::u16string*) const override { return false; }
    bool IsThisComputer(const std::u16string&) const override { return false; }
};

} // namespace

const PATHSYSTEM& SystemPaths() {
    static const TEXTPATHS paths;
    return paths;
}
