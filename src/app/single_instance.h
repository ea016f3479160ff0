// At most one copy of the program runs at a time.
#pragma once

// Creates the single-instance mutex and keeps it until the process ends. Answers false when
// another copy holds it.
bool ClaimSingleInstance();
