// The robot speaks UTF-8 to its callers and UTF-16 to Windows.
#pragma once

#include <string>
#include <string_view>

namespace uirobot {

std::wstring toWide(std::string_view utf8);
std::string toUtf8(std::wstring_view wide);

// "&Yes" -> "Yes": the ampersand only marks the mnemonic, a person reads the label without it.
std::string withoutMnemonic(std::string_view label);

} // namespace uirobot
