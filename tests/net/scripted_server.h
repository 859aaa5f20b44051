// A peer on a loopback port that follows a script: the other side of a connection in the device and mail
// tests, built on the device's own accepting side. It accepts one connection and runs the script on a
// thread of its own.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "lib/net/tcpio.h"

class SCRIPTEDSERVER {
public:
    using SCRIPT = std::function<void(SCRIPTEDSERVER&)>;

    explicit SCRIPTEDSERVER(SCRIPT script);
    // Waits for the script to end; a connection that never came is no longer waited for.
    ~SCRIPTEDSERVER();

    int Port() const { return ListenPort; }
    // "127.0.0.1:port", a destination for MakeCall and a mail host.
    std::string Address() const { return "127.0.0.1:" + std::to_string(ListenPort); }
    bool Accepted() const { return WasAccepted; }
    // Waits for the script to end and returns every line it heard.
    std::vector<std::string> Finish();

    // For the script.
    void Say(const std::string& bytes);
    // The next line without its line end; "" (and false from Connected) when none came within timeoutms.
    std::string Hear(int timeoutms = 5000);
    // Hears lines until one equals line; false when the connection ended or timeoutms passed first.
    bool HearUntil(const std::string& line, int timeoutms = 5000);
    // The greeting, EHLO and the envelope of an ordinary server, up to its 354 after DATA.
    void AcceptEnvelope(const std::string& ehloreply = "250 loopback\r\n");
    void Drop();
    bool Connected();

private:
    TCPIPIO Device;
    int ListenPort = 0;
    std::atomic<bool> WasAccepted{false};
    std::vector<std::string> Heard;
    std::thread Worker;
};
