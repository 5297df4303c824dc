#pragma once
// The thin application layer that the updater is built on.
//
// CApplication stands in for a class framework's application object: the
// program defines exactly one object of a class derived from it, and the
// entry point calls RunApplication(), which calls InitInstance() once. When
// InitInstance() returns false, as the updater's always does, the process ends
// without ever entering a message loop: each run pumps its own modal loops.
class CApplication {
public:
    CApplication() = default;
    CApplication(const CApplication&) = delete;
    CApplication& operator=(const CApplication&) = delete;
    virtual ~CApplication() = default;

    // Returns true to ask for an application message loop afterwards.
    virtual bool InitInstance() = 0;
    // The process's exit code when InitInstance returned false.
    virtual int ExitCode() const { return 0; }
};

// Runs the application object; returns the process exit code.
int RunApplication(CApplication& application);
