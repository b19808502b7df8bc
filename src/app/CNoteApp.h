#pragma once

#include <QStringList>

namespace vimo {

// The application: carries the whole life of the program, from opening the store to the
// user's Quit, inside InitInstance.
class CNoteApp {
public:
    explicit CNoteApp(QStringList arguments);

    // Runs the program. Always returns false: there is no event loop of its own to start
    // afterwards; the program lives inside the modal runs.
    bool InitInstance();
    // The program's exit status once InitInstance has returned.
    int ExitStatus() const { return Status; }

private:
    QStringList Arguments;
    int Status = 0;
};

} // namespace vimo
