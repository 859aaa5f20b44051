// BASEIO: the library's abstract communication device. A connection is opened (MakeCall outwards,
// AcceptCall inwards), read with a time-out and an optional delimiter, written, asked for named properties
// and closed (DropCall). Received bytes pass through a RINGBUFFER, filled either by the device's reader
// thread (the daemon) or, for devices without one, by the reading call itself.
#pragma once

#include <cstdint>

#include "lib/net/ringbuffers.h"
#include "lib/net/tlsclient.h"
#include "lib/osys.h"
#include "lib/stringarray.h"
#include "lib/strings.h"

// DeviceFlags bits.
constexpr int BASEIO_DEVICE_CONSTRUCTOR_SIGNALS = 0x01; // the derived constructor signals when it is done
constexpr int BASEIO_DEVICE_NO_DAEMON = 0x0E;           // any of these: the constructor starts no daemon
constexpr int BASEIO_DEVICE_READS_BY_DAEMON = 0x04;     // Read never reads the device itself
constexpr int BASEIO_DEVICE_IS_PACKETBASED = 0x08;      // stream reads are refused

// Receives what the daemon read, instead of the queue.
using BASEIODATACALLBACK = void (*)(intptr_t userdata, const unsigned char* bytes, int length);

class BASEIO {
public:
    static constexpr int QueueSize = 0x100000;
    static constexpr int MaxDeviceRead = 0x8000;

    BASEIO(const char* ourid, const char* calltype, const char* parameter, int deviceflags);
    virtual ~BASEIO();
    BASEIO(const BASEIO&) = delete;
    BASEIO& operator=(const BASEIO&) = delete;

    // The device's own operations.
    virtual bool DevRead(void* buffer, int* length, int timeoutms) = 0;
    virtual bool DevWrite(const void* bytes, int length) = 0;
    virtual int DevGetNumAvail() = 0;
    virtual bool DevIsConnected() = 0;
    virtual bool IsNetworkReady() = 0;
    virtual bool MakeCall(const char* destination) = 0;
    virtual bool AcceptCall() = 0;
    virtual bool DropCall() = 0;
    // Encryption of the connection (STARTTLS): whether the device can, and the switch to it. After the switch
    // the properties "TLSVERIFIED" ("1" or "0") and "TLSVERIFYERROR" tell how the server's certificate fared.
    virtual bool CanStartTls() { return false; }
    virtual bool StartTls(const char* servername, int timeoutms, const TLSPOLICY& policy = TLSPOLICY()) {
        return false;
    }
    // Bytes queued or waiting in the device, or else whether a connection is up.
    virtual bool IsActive();
    virtual void SetNotifyHook(void (*hook)(intptr_t), intptr_t userdata);
    // Routes received bytes to callback (when given) and starts the daemon if none runs.
    virtual bool StartDaemon(BASEIODATACALLBACK callback, intptr_t userdata);
    virtual void SetCallType(const char* calltype);
    virtual void SetOurId(const char* ourid);
    virtual STRING GetProperty(const char* name);
    virtual void SetProperty(const char* name, const char* value);
    virtual int RawRecv(intptr_t socket, void* buffer, int size) { return -1; }
    virtual int RawSend(intptr_t socket, const void* bytes, int length) { return -1; }

    // Reads at most *length bytes (the pushback first, then the queue), stopping after a byte of readuntil
    // when given, within timeoutms. *length receives the count; true when at least one byte came.
    bool Read(void* buffer, int* length, int timeoutms, const char* readuntil = nullptr);
    // Writes length bytes (-1: a NUL-terminated text).
    bool Write(const void* bytes, int length);
    // Hands received bytes to the callback or the queue.
    void Feed(const unsigned char* bytes, int length);
    bool ReadDeviceToRingbuffer(int timeoutms);
    void KillDaemon(bool markdead);
    // Queued bytes plus those waiting in the device.
    int GetNumAvail();
    // Bytes handed back to the device: Read delivers them first.
    void PushBack(const char* bytes, int length);

protected:
    // Called at the end of a derived constructor with BASEIO_DEVICE_CONSTRUCTOR_SIGNALS.
    void ConstructorDone() { semConstructorDone.Set(); }

    RINGBUFFER Queue;
    EVENTSEM semKillThread;
    void* hThread = nullptr;
    int Magic1 = GuardWord;
    int IsDead = 0;
    int DeviceFlags;
    STRING OurId;
    STRING CallType;
    STRING Parameter;
    STRING Spare;
    STRINGARRAY NamedSettings;
    STRING Pushback;
    int LastError = 0;
    STRING LastErrorString;
    EVENTSEM semConstructorDone;
    int Magic2 = GuardWord;
    BASEIODATACALLBACK pfnDataCallback = nullptr;
    intptr_t CallbackUserData = 0;
    void (*pfnNotifyHook)(intptr_t) = nullptr;
    intptr_t NotifyUserData = 0;

private:
    static constexpr int GuardWord = 0x22CC8833;
    static void DaemonEntry(void* device);
    void Daemon();
};
