// "setuppack sign": Authenticode signatures through osslsigncode, which signs program files and libraries on
// any machine; and the test of whether a program file carries a signature at all.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "tools/setuppack/report.h"

namespace setuppack {

struct SIGNOPTIONS {
    std::string Certificate; // PEM or DER certificate (chain) file
    std::string Key;         // its private key
    std::string Timestamp;   // a timestamp server's address, or empty for none
    std::string Tool = "osslsigncode";
};

// The arguments osslsigncode gets to sign file in place (through a signed copy beside it).
std::vector<std::string> SignCommand(const SIGNOPTIONS& options, const std::string& file,
                                     const std::string& signedcopy);

// Signs file in place; false (reported) when the tool fails or cannot be started.
bool SignFile(const SIGNOPTIONS& options, const std::string& file, REPORT& report, std::ostream& summary);

// True when the program file's certificate table is present (whether the signature holds is for the tool to
// say); false for any other file.
bool HasSignature(const std::string& file);

// Runs program with arguments and waits; its exit code, or -1 when it could not be started.
int RunTool(const std::vector<std::string>& command);

} // namespace setuppack
