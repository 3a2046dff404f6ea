#pragma once

#include "app/InstanceRequest.h"

namespace flintly {

struct CommandLine;
class SingleInstance;

// What a launch asks of the running Flintly: from its command line (`appendText`: the
// checked text of --append) and with the token its launcher gave it. The token is read
// from the environment and taken out of it, so that programs Flintly starts later do
// not inherit it.
InstanceRequest launchRequest(const CommandLine& commandLine, const QString& appendText);

// The side of a later launch: hands the request to the running Flintly, waits for its
// answer and tells the user how it went. `startHidden`: nobody runs yet (the lock was
// ours, and has to be let go), so a Flintly is started without its window first
// (--append). Returns the process's exit code.
int handOverLaunch(SingleInstance& instance, const InstanceRequest& request, bool startHidden);

}  // namespace flintly
