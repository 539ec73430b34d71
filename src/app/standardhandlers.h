#pragma once

class MainWidow;

namespace velquor {

// Registers the program's traffic handlers (PET, RMCP 1, RMCP 2) with the
// window as page handler factories, and the detail views of their records.
// The program entry calls it before the window is shown; tests register
// their own handlers instead.
void registerStandardHandlers(MainWidow &window);

} // namespace velquor
