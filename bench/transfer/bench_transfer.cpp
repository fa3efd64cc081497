// Speed of a backup (with its comparison) and a restore (with its read-back)
// of a whole card, beside dd followed by cmp doing the same work.
//
//   bench_transfer [MiB [runs]]      (default 256 MiB, 3 runs)
//
// Each figure is the median of the runs: this machine's disk is shared, and
// single runs vary by a factor of two.
// The cards are loop devices with direct I/O where the machine allows it
// (root and /dev/loop-control), plain files otherwise; the program sees them
// as removable drives through a sysfs view of its own.
#include "res/resources.h"
#include "tests/support/fake_machine.h"
#include "transfer/TransferJob.h"
#include "transfer/Workers.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <cstdio>
#include <random>

using namespace testsupport;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// Drops what the page cache holds of a file or device, so every run starts cold.
void dropCache(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

double corvane(BYTE kind, int drive) {
    g_job.m_nJobKind = kind;
    auto start = Clock::now();
    if (StartTransferJob(kind, testsupport::drive(drive).c_str()) != TRANSFER_STARTED) {
        std::fprintf(stderr, "the job did not start (error %u)\n", GetLastError());
        std::exit(1);
    }
    auto& thread = kind == JOB_BACKUP ? g_job.m_hBackupThread : g_job.m_hRestoreThread;
    while (thread.load() != nullptr) Sleep(1);
    double took = seconds(start);
    CloseDevice();
    if (g_job.m_bFailed.load()) {
        std::fprintf(stderr, "the %s failed\n", kind == JOB_BACKUP ? "backup" : "restore");
        std::exit(1);
    }
    return took;
}

double shell(const std::string& command) {
    auto start = Clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
    return seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
    const uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 256;
    const uint64_t size = mib << 20;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    InstallResources();

    FakeMachine m;
    std::string cards[2] = {m.root + "/card0.raw", m.root + "/card1.raw"};
    std::string why;
    const bool loops = loopDevicesUsable(&why);
    {
        // Random bytes: nothing compresses or short-cuts.
        std::mt19937_64 random(1);
        std::vector<uint64_t> block(1 << 17);
        std::FILE* out = std::fopen(cards[0].c_str(), "wb");
        for (uint64_t done = 0; done < size; done += block.size() * 8) {
            for (auto& word : block) word = random();
            std::fwrite(block.data(), 8, std::min<uint64_t>(block.size(), (size - done) / 8), out);
        }
        std::fclose(out);
        out = std::fopen(cards[1].c_str(), "wb");
        std::fclose(out);
        ::truncate(cards[1].c_str(), (off_t)size);
    }
    std::unique_ptr<LoopDevice> loop[2];
    std::string nodes[2];
    for (int i = 0; i < 2; ++i) {
        if (loops) {
            loop[i] = std::make_unique<LoopDevice>(cards[i], false, true);
            if (!loop[i]->ok()) {
                std::fprintf(stderr, "no loop device could be attached\n");
                return 1;
            }
            nodes[i] = loop[i]->path();
            AddLoopCard(m, i ? "sdy" : "sdx", *loop[i], size);
        } else {
            nodes[i] = cards[i];
            m.AddDisk({.name = i ? "sdy" : "sdx", .bytes = size, .removable = true, .nodeTarget = nodes[i]});
        }
    }
    m.Install();
    std::printf("card: %llu MiB on %s, median of %d runs\n", (unsigned long long)mib,
                loops ? "loop devices with direct I/O" : ("plain files (" + why + ")").c_str(), runs);

    g_job.m_hStopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const std::string image = m.root + "/image.bin", copy = m.root + "/copy.bin";
    std::strncpy(g_job.m_szImagePath, image.c_str(), MAX_PATH - 1);
    g_job.m_dwTotalBytes = size;

    struct Row {
        std::string what;
        double seconds;
    };
    std::vector<Row> rows;
    auto cold = [&] {
        for (const auto& path : {nodes[0], nodes[1], cards[0], cards[1], image, copy}) dropCache(path);
    };

    auto median = [&](const std::function<double()>& once) {
        std::vector<double> times;
        for (int i = 0; i < runs; ++i) {
            cold();
            times.push_back(once());
        }
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    };
    rows.push_back({"Corvane backup + comparison, 51200-byte chunks", median([&] { return corvane(JOB_BACKUP, 0); })});
    rows.push_back({"Corvane restore with read-back, 51200-byte chunks", median([&] { return corvane(JOB_RESTORE, 1); })});
    shell("cmp -s " + nodes[0] + " " + nodes[1]);  // the restored card is the first one, byte for byte

    for (const char* bs : {"51200", "1M"}) {
        rows.push_back({std::string("dd + cmp backup, bs=") + bs, median([&] {
                            double t = shell("dd if=" + nodes[0] + " of=" + copy + " bs=" + bs +
                                             " iflag=direct conv=fsync status=none");
                            cold();
                            return t + shell("cmp -s " + nodes[0] + " " + copy);
                        })});
        rows.push_back({std::string("dd + cmp restore, bs=") + bs, median([&] {
                            double t = shell("dd if=" + copy + " of=" + nodes[1] + " bs=" + bs +
                                             " oflag=direct conv=fsync status=none");
                            cold();
                            return t + shell("cmp -s " + copy + " " + nodes[1]);
                        })});
    }

    std::printf("\n%-52s %10s %10s\n", "work", "seconds", "MB/s");
    for (const Row& r : rows)
        std::printf("%-52s %10.2f %10.1f\n", r.what.c_str(), r.seconds, size / 1e6 / r.seconds);
    std::printf("\nCorvane's time / dd+cmp's time at the same block size (51200):\n");
    std::printf("  backup  %.2f\n  restore %.2f\n", rows[0].seconds / rows[2].seconds,
                rows[1].seconds / rows[3].seconds);
    std::printf("and against bs=1M:\n  backup  %.2f\n  restore %.2f\n", rows[0].seconds / rows[4].seconds,
                rows[1].seconds / rows[5].seconds);
    CloseHandle(g_job.m_hStopEvent);
    return 0;
}
