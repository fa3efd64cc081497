// corvane: the program on the machine's real disks.
#include "framework/qt/run.h"
#include "platform/backend.h"
#include "platform/linux/linux_backend.h"

#include <memory>

int main(int argc, char** argv) {
    platform::SetBackend(std::make_shared<platform::LinuxBackend>());
    return qtfw::RunApplication(argc, argv);
}
