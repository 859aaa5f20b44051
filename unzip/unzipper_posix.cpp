#include "unzip/unzipper.h"

#include "lib/orvik.h"

// No message boxes natively: nobody to ask, so the existing file stays.
bool UnzipperAskOverwrite(const STRING& subject) {
    LogPrintf("UNZIPPER: not asked natively, keeping %s\n", subject.Text());
    return false;
}
