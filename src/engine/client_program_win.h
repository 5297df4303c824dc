#pragma once
// The client program beside the updater: "QIRAClient.exe", whose main
// window has the class "QIRACLIENT".
#include <cstdint>
#include <string>

// Asks the running client's window to close, waiting at most 60 s.
void CloseClient();

// Starts applicationFolder + "QIRAClient.exe" after waitMs when it exists.
void RestartClient(const std::string& applicationFolder, uint32_t waitMs);
