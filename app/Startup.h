#pragma once

// Everything the program does between creating the application object and
// the end of its message loop; the exit code is always 0.
int runKestrum();
