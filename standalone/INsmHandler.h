#pragma once

#include <string>

// What a session manager may ask of the program once it has joined the
// session. UI thread only (the main loop hands the messages over).
class INsmHandler {
public:
    virtual ~INsmHandler() = default;
    // /nsm/client/save: writes everything to the session's folder. False
    // with message set when something could not be written.
    virtual bool SaveSession(std::string& message) = 0;
    // /nsm/client/show_optional_gui and hide_optional_gui.
    virtual void ShowGui() = 0;
    virtual void HideGui() = 0;
};
