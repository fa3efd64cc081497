// corvane-demo: the same program on simulated cards, for trying every job
// without a card reader.
//
//   corvane-demo [folder]
//
// The folder (made in /tmp when none is given, and named on standard output)
// holds the two cards as files, E-card.img (64 MiB, with data) and
// F-card.img (64 MiB, blank), and stands for C:, so "C:\Drive.bin" is
// <folder>/Drive.bin.
#include "framework/qt/run.h"
#include "platform/backend.h"
#include "platform/sim/sim_backend.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr ULONGLONG kCardBytes = 64ull << 20;

// A card that looks used: a partition table with its signature, a label,
// and a different byte pattern in every sector.
void fillCard(platform::sim::Storage& card, DWORD signature) {
    std::vector<BYTE> chunk(1 << 20);
    for (ULONGLONG at = 0; at < kCardBytes; at += chunk.size()) {
        for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = (BYTE)((at + i) / 512 * 31 + i % 512);
        card.Write(at, chunk.data(), chunk.size());
    }
    BYTE sector[512] = {};
    const char label[] = "CORVANE DEMO CARD";
    std::memcpy(sector + 3, label, sizeof label);
    for (int i = 0; i < 4; ++i) sector[440 + i] = (BYTE)(signature >> (8 * i));
    sector[510] = 0x55;
    sector[511] = 0xAA;
    card.Write(0, sector, sizeof sector);
}

std::shared_ptr<platform::sim::Storage> cardFile(const std::string& path, bool withData, DWORD signature) {
    struct stat st;
    const bool existed = ::stat(path.c_str(), &st) == 0;
    auto storage = platform::sim::FileStorage(path, kCardBytes);
    if (storage && !existed && withData) fillCard(*storage, signature);
    return storage;
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder;
    if (argc > 1) {
        folder = argv[1];
        ::mkdir(folder.c_str(), 0755);
    } else {
        char name[] = "/tmp/corvane-demo-XXXXXX";
        if (!::mkdtemp(name)) {
            std::perror("corvane-demo");
            return 1;
        }
        folder = name;
    }
    auto e = cardFile(folder + "/E-card.img", true, 0xE0E0E0E0);
    auto f = cardFile(folder + "/F-card.img", false, 0);
    if (!e || !f) {
        std::fprintf(stderr, "corvane-demo: cannot make the cards in %s\n", folder.c_str());
        return 1;
    }
    std::printf("Corvane demo: cards and images are in %s\n", folder.c_str());
    std::printf("  E Drive = %s/E-card.img, F Drive = %s/F-card.img, C:\\ = %s\n", folder.c_str(), folder.c_str(),
                folder.c_str());
    std::fflush(stdout);

    auto world = std::make_shared<platform::sim::SimWorld>();
    platform::sim::CardSpec system;
    system.removable = false;
    system.storage = platform::sim::MemoryStorage(1 << 20);
    // The system disk has a signature of its own: a blank card (signature 0)
    // must not be taken for a volume of it.
    BYTE mbr[512] = {};
    for (int i = 0; i < 4; ++i) mbr[440 + i] = (BYTE)(0x5C5C5C5Cu >> (8 * i));
    mbr[510] = 0x55;
    mbr[511] = 0xAA;
    system.storage->Write(0, mbr, sizeof mbr);
    system.letters = {'C'};
    world->AddDrive(0, system);
    platform::sim::CardSpec cardE;
    cardE.storage = e;
    cardE.letters = {'E'};
    world->AddDrive(1, cardE);
    platform::sim::CardSpec cardF;
    cardF.storage = f;
    cardF.letters = {'F'};
    world->AddDrive(2, cardF);
    world->MapFolder('C', folder);
    platform::SetBackend(world);
    return qtfw::RunApplication(argc, argv);
}
