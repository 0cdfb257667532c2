// Whether a browser runs for the current user in this session, and closing it when the user has
// said yes: its windows get the ordinary close, a browser that only runs in the background has its
// processes ended.
#pragma once

#include <string>
#include <vector>

#include "browsers.h"
#include "catalog.h"

namespace browsers {

// The processes of this browser that belong to the current user in this session and whose
// program lies in one of the browser's install folders, by process id.
std::vector<unsigned long> ProcessesOf(const CatalogEntry& entry);

// Closed, in windows or in the background, as its processes show now.
BrowserOpenState OpenStateOf(const CatalogEntry& entry);

// Closes the browser as the state it shows now asks: WM_CLOSE to each of its shown top-level
// windows, or its processes ended when it shows none. Never ends a browser that shows a window.
void CloseBrowser(const CatalogEntry& entry);

// Waits until none of the browsers' processes is left and none of `lockFiles` is held, at most
// `milliseconds`, dispatching the calling thread's messages meanwhile. True when all let go.
bool WaitUntilClosed(const std::vector<const CatalogEntry*>& entries, const std::vector<std::wstring>& lockFiles,
                     unsigned milliseconds);

}  // namespace browsers
