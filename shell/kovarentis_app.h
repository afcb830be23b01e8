#pragma once
// The program's entry: one agent per session, then the hidden main window for
// the whole life of the process.
namespace kov {

class CKovarentisApp {
public:
    // Runs the agent to its end; always false, so the caller ends the process.
    bool InitInstance();
};

}  // namespace kov
