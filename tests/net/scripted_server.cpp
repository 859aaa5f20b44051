#include "tests/net/scripted_server.h"

#include <chrono>

SCRIPTEDSERVER::SCRIPTEDSERVER(SCRIPT script) : Device("127.0.0.1:0", "", "") {
    Device.MakeAcceptSocket();
    ListenPort = Device.GetProperty("ACCEPTPORT").ToInt();
    Worker = std::thread([this, script] {
        if (!Device.AcceptCall())
            return;
        WasAccepted = true;
        script(*this);
        Device.DropCall();
    });
}

SCRIPTEDSERVER::~SCRIPTEDSERVER() {
    Finish();
}

std::vector<std::string> SCRIPTEDSERVER::Finish() {
    if (Worker.joinable()) {
        if (!WasAccepted) {
            // Give a connection that is under way a moment, then withdraw the listening socket.
            for (int i = 0; i < 20 && !WasAccepted; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (!WasAccepted)
                Device.DropCall();
        }
        Worker.join();
    }
    return Heard;
}

void SCRIPTEDSERVER::Say(const std::string& bytes) {
    Device.Write(bytes.data(), static_cast<int>(bytes.size()));
}

std::string SCRIPTEDSERVER::Hear(int timeoutms) {
    char line[1024];
    if (!TCP::ReadLine(&Device, line, sizeof(line), timeoutms))
        return "";
    Heard.push_back(line);
    return line;
}

bool SCRIPTEDSERVER::HearUntil(const std::string& line, int timeoutms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutms);
    while ((Connected() || Device.GetNumAvail() > 0) && std::chrono::steady_clock::now() < deadline) {
        char text[1024];
        if (TCP::ReadLine(&Device, text, sizeof(text), timeoutms)) {
            Heard.push_back(text);
            if (line == text)
                return true;
        }
    }
    return false;
}

void SCRIPTEDSERVER::AcceptEnvelope(const std::string& ehloreply) {
    Say("220 loopback ready\r\n");
    Hear();
    Say(ehloreply);
    Hear();
    Say("250 sender ok\r\n");
    for (std::string line = Hear(); line.rfind("RCPT", 0) == 0; line = Hear())
        Say("250 receiver ok\r\n");
    Say("354 go ahead\r\n");
}

void SCRIPTEDSERVER::Drop() {
    Device.DropCall();
}

bool SCRIPTEDSERVER::Connected() {
    return Device.DevIsConnected();
}
