#pragma once
// The client program beside the updater: "QIRAClient.exe", whose main
// window has the class "QIRACLIENT".
#include "base/handles_win.h"

#include <cstdint>
#include <optional>
#include <string>

// Asks the running client's window to close, waiting at most 60 s.
void CloseClient();

// The client as the updater started it.
struct StartedClient {
    UniqueHandle Process;    // none when it could not be started
    uint32_t Error = 0;      // then the system's reason
    uint64_t StartedAt = 0;  // GetTickCount64 when it was started
};

// Starts applicationFolder + "QIRAClient.exe" after waitMs when it exists;
// nothing when it does not. The process inherits an error mode in which
// the system shows none of its boxes for a missing DLL or a crash, so that
// such a start ends at once with its status (exit_status.h) rather than
// waiting for someone to close a box.
std::optional<StartedClient> StartClient(const std::string& applicationFolder, uint32_t waitMs);

// How a started client's first seconds went.
struct StartWatch {
    enum class End {
        StillRunning,  // it ran for the whole watch
        Exited,        // it ended within the watch, with ExitStatus
        NotStarted,    // the process could not be made, for Error
        Declined,      // the user declined the elevation that the program asks for
    };
    End How = End::StillRunning;
    uint32_t ExitStatus = 0;
    uint32_t Error = 0;
    uint32_t Seconds = 0;  // how long it was watched

    // A start that the new release is to blame for.
    bool Failed() const;
    // For the log: "ended within 2 s with 0xC0000005 (access violation)".
    std::string Describe() const;
};

// Waits until the client ends or `seconds` have passed since it was started.
StartWatch WatchStart(const StartedClient& client, uint32_t seconds);
