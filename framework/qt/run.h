// Starts the program: used by the executables' main functions once they have
// chosen the platform backend.
#pragma once

namespace qtfw {
int RunApplication(int argc, char** argv);
}
