// Hosting in-process COM objects (hosting.h). The login control's client, which used to live here,
// is the control's own now (accesskeep/client.h); this header still brings it in under its old
// name for windows written against it.
#pragma once

#include "hosting.h"
#include "../accesskeep/client.h"

namespace winapp {
using accesskeep::AccessKeepClient;
}  // namespace winapp
