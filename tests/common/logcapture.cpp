#include "tests/common/test_support.h"

LOGCAPTURE::LOGCAPTURE(const std::string& file, const char* switchname) : File(file) {
    LogitOption((std::string(switchname) + file).c_str());
}

LOGCAPTURE::~LOGCAPTURE() {
    if (!Closed)
        LogitOption("/LOGITCLOSE");
}

std::string LOGCAPTURE::Finish() {
    LogitOption("/LOGITCLOSE");
    Closed = true;
    return ReadWholeFile(File);
}
