// Immediate end of the launcher process.
#pragma once

// Ends the process at once with exit code 0: no destructor runs, nothing is flushed.
[[noreturn]] void TerminateSelf();
