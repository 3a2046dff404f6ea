#pragma once

#include <sys/types.h>

namespace flintly::test {

// An X server (Xvfb) of the test's own, started before the application connects: a test
// that changes the desktop itself (starts a compositor, clicks through windows) must not
// change it under the tests running beside it. DISPLAY points at it while it runs.
class PrivateXServer {
public:
    PrivateXServer();
    ~PrivateXServer();
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    bool isRunning() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
};

}  // namespace flintly::test
