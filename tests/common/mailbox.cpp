#include "tests/common/mailbox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {
std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::filesystem::path StateDir() {
    return std::filesystem::path(ORVIK_SMTP_STATE);
}

RECEIVEDMAIL Load(const std::filesystem::path& eml) {
    RECEIVEDMAIL mail;
    mail.Content = ReadFile(eml);
    std::filesystem::path env = eml;
    env.replace_extension(".env");
    std::istringstream lines(ReadFile(env));
    for (std::string line; std::getline(lines, line);) {
        const std::string key = line.substr(0, line.find('='));
        const std::string value = line.substr(line.find('=') + 1);
        if (key == "server")
            mail.Server = value;
        else if (key == "helo")
            mail.Helo = value;
        else if (key == "from")
            mail.From = value;
        else if (key == "to")
            mail.To.push_back(value);
        else if (key == "auth")
            mail.Auth = value;
        else if (key == "tls")
            mail.Encrypted = value == "1";
    }
    return mail;
}
} // namespace

std::string RECEIVEDMAIL::Header(const std::string& name) const {
    const std::string headers = "\r\n" + Content.substr(0, Content.find("\r\n\r\n")) + "\r\n";
    size_t pos = headers.find("\r\n" + name + ": ");
    if (pos == std::string::npos)
        return "";
    std::string value;
    for (pos += name.size() + 4;;) {
        const size_t end = headers.find("\r\n", pos);
        value += headers.substr(pos, end - pos);
        if (end + 2 >= headers.size() || headers[end + 2] != ' ')
            return value;
        pos = end + 2;
    }
}

std::string RECEIVEDMAIL::Body() const {
    const size_t end = Content.find("\r\n\r\n");
    return end == std::string::npos ? "" : Content.substr(end + 4);
}

namespace MAILBOX {

std::string Server(const std::string& name, const std::string& host) {
    std::string port = ReadFile(StateDir() / (name + ".port"));
    while (!port.empty() && (port.back() == '\n' || port.back() == '\r'))
        port.pop_back();
    EXPECT_FALSE(port.empty())
        << "the mail servers are not running: CTest starts them (fixture smtp_servers)";
    return host + ":" + port;
}

std::string TestAuthority() {
    return (StateDir() / "ca.pem").string();
}

std::vector<RECEIVEDMAIL> Find(const std::string& token, int expected) {
    std::vector<RECEIVEDMAIL> found;
    for (int attempt = 0; attempt < 50; ++attempt) {
        found.clear();
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(StateDir() / "mailbox", ignored))
            if (entry.path().extension() == ".eml" && ReadFile(entry.path()).find(token) != std::string::npos)
                found.push_back(Load(entry.path()));
        if (static_cast<int>(found.size()) >= expected)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return found;
}

std::string UniqueToken() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    const auto now = std::chrono::system_clock::now().time_since_epoch().count();
    return std::string(info->name()) + "-" + std::to_string(now);
}

} // namespace MAILBOX
