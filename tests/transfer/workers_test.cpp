// The backup and restore workers on simulated cards.
#include "tests/support/job_fixture.h"

#include <atomic>
#include <fstream>
#include <thread>

#include <sys/stat.h>

using platform::sim::CardSpec;
using platform::sim::Fault;
using platform::sim::FlipOnRead;
using platform::sim::MemoryStorage;
using platform::sim::Op;
using platform::sim::ShortRead;
using platform::sim::Storage;

namespace {

constexpr ULONGLONG kChunk = TRANSFER_CHUNK_SIZE;
const char* const kCard = "\\\\.\\PhysicalDrive1";

// Bytes with zeros among them, different for every seed and offset.
std::vector<BYTE> Pattern(size_t size, unsigned seed) {
    std::vector<BYTE> bytes(size);
    uint32_t x = 2463534242u ^ seed;
    for (size_t i = 0; i < size; ++i) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        bytes[i] = (i % 97 == 3) ? 0 : (BYTE)(x >> 24);
    }
    return bytes;
}

std::vector<BYTE> ReadAll(Storage& storage) {
    std::vector<BYTE> bytes((size_t)storage.Size());
    storage.Read(0, bytes.data(), bytes.size());
    return bytes;
}

std::vector<BYTE> ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::filesystem::path& path, const std::vector<BYTE>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
}

// What a running job showed through its record.
struct Outcome {
    TransferStart start;
    // m_bFailed as seen right after the watched counter was first seen at 0;
    // -1 when it was never seen at 0 while the worker ran.
    int flagAtZero = -1;
};

class WorkerTest : public JobFixture {
protected:
    std::shared_ptr<Storage> AddCard(const std::vector<BYTE>& content, int number = 1) {
        auto storage = MemoryStorage(content.size());
        storage->Write(0, content.data(), content.size());
        CardSpec spec;
        spec.storage = storage;
        spec.letters = {'E'};
        world->AddDrive(number, spec);
        return storage;
    }

    void SetImage(const std::string& path) {
        std::memset(g_job.m_szImagePath, 0, sizeof g_job.m_szImagePath);
        std::strncpy(g_job.m_szImagePath, path.c_str(), MAX_PATH - 1);
    }

    // Starts the job the way a launch does and waits for its worker to end,
    // watching the counter the way the progress timer does.
    Outcome Run(BYTE kind, ULONGLONG total, std::atomic<ULONGLONG>* watched = nullptr) {
        g_job.m_dwTotalBytes = total;
        g_job.m_nJobKind = kind;
        Outcome outcome;
        outcome.start = StartTransferJob(kind, kCard);
        if (outcome.start != TRANSFER_STARTED) return outcome;
        std::atomic<HANDLE>& thread = kind == JOB_BACKUP ? g_job.m_hBackupThread : g_job.m_hRestoreThread;
        for (;;) {
            if (watched && outcome.flagAtZero < 0 && watched->load() == 0) outcome.flagAtZero = g_job.m_bFailed.load();
            if (thread.load() == nullptr) break;
            if (watched)
                std::this_thread::yield();
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return outcome;
    }

    // The worker closed the image: nobody else holds it.
    bool ImageClosed() {
        HANDLE h = CreateFileA(g_job.m_szImagePath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return GetLastError() != ERROR_SHARING_VIOLATION;
        CloseHandle(h);
        return true;
    }

    std::string ImagePath(const char* name = "card.bin") { return (folder / name).string(); }
};

// ---- whole jobs ---------------------------------------------------------------

struct SizeCase {
    const char* name;
    ULONGLONG size;
};

void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.name; }

class ChunkingTest : public WorkerTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(ChunkingTest, BackupCopiesTheWholeCardAndRestoreWritesItBack) {
    const ULONGLONG size = GetParam().size;
    const std::vector<BYTE> content = Pattern((size_t)size, 7);
    AddCard(content);
    SetImage(ImagePath());

    Outcome backup = Run(JOB_BACKUP, size);
    ASSERT_EQ(backup.start, TRANSFER_STARTED);
    EXPECT_EQ(g_job.m_bFailed.load(), 0);
    EXPECT_EQ(g_job.m_dwReadRemaining.load(), 0u);
    EXPECT_EQ(g_job.m_dwCompareRemaining.load(), 0u);
    EXPECT_EQ(g_job.m_nJobKind.load(), JOB_BACKUP);
    EXPECT_TRUE(ImageClosed());
    EXPECT_EQ(ReadFileBytes(ImagePath()), content);
    // Two passes over the card, in whole chunks but for the last.
    const int chunks = (int)((size + kChunk - 1) / kChunk);
    EXPECT_EQ(world->Calls(kCard, Op::Read), 2 * chunks);
    EXPECT_TRUE(Boxes().empty());
    CloseDevice();

    // Restore onto a second, blank card of the same size.
    world->AddDrive(1, CardSpec{true, true, {}, MemoryStorage(size), 512, {'E'}, false});
    Outcome restore = Run(JOB_RESTORE, size);
    ASSERT_EQ(restore.start, TRANSFER_STARTED);
    EXPECT_EQ(g_job.m_bFailed.load(), 0);
    EXPECT_EQ(g_job.m_dwWriteRemaining.load(), 0u);
    EXPECT_EQ(ReadAll(*world->DriveStorage(1)), content);
    EXPECT_TRUE(ImageClosed());
    CloseDevice();
}

INSTANTIATE_TEST_SUITE_P(Sizes, ChunkingTest,
                         ::testing::Values(SizeCase{"empty", 0}, SizeCase{"below_a_chunk", 1000},
                                           SizeCase{"exact_chunks", 3 * kChunk},
                                           SizeCase{"chunks_and_remainder", 3 * kChunk + 7 * 512}),
                         [](const auto& p) { return std::string(p.param.name); });

// A card above 4 GiB on sparse storage: sizes and counters must not wrap.
TEST_F(WorkerTest, CardsAbove4GiBAreCopiedWhole) {
    const ULONGLONG size = (4ull << 30) + 2 * kChunk + 1024;
    auto card = MemoryStorage(size);
    const std::vector<BYTE> marker = Pattern(3000, 11);
    const ULONGLONG marks[] = {0, (4ull << 30) - 1500, (4ull << 30) + 4000, size - marker.size()};
    for (ULONGLONG at : marks) card->Write(at, marker.data(), marker.size());
    world->AddDrive(1, CardSpec{true, true, {}, card, 512, {'E'}, false});
    world->MapMemoryVolume('M', 64ull << 30);
    SetImage("M:\\big.bin");

    ASSERT_EQ(Run(JOB_BACKUP, size).start, TRANSFER_STARTED);
    EXPECT_EQ(g_job.m_bFailed.load(), 0);
    auto image = world->MemoryFile("M:\\big.bin");
    ASSERT_TRUE(image);
    ASSERT_EQ(image->Size(), size);
    std::vector<BYTE> got(marker.size());
    for (ULONGLONG at : marks) {
        image->Read(at, got.data(), got.size());
        EXPECT_EQ(got, marker) << "at " << at;
    }
    CloseDevice();

    auto blank = MemoryStorage(size);
    world->AddDrive(1, CardSpec{true, true, {}, blank, 512, {'E'}, false});
    ASSERT_EQ(Run(JOB_RESTORE, size).start, TRANSFER_STARTED);
    EXPECT_EQ(g_job.m_bFailed.load(), 0);
    for (ULONGLONG at : marks) {
        blank->Read(at, got.data(), got.size());
        EXPECT_EQ(got, marker) << "at " << at;
    }
    CloseDevice();
}

// A shorter image lands on the card's first bytes; the rest stays as it was.
TEST_F(WorkerTest, RestoreOfAShorterImageWritesOnlyTheImage) {
    const ULONGLONG cardSize = 10 * kChunk;
    const std::vector<BYTE> old(cardSize, 0xEE);
    auto card = AddCard(old);
    const std::vector<BYTE> image = Pattern(3 * kChunk + 777, 3);
    WriteFileBytes(ImagePath(), image);
    SetImage(ImagePath());

    Outcome outcome = Run(JOB_RESTORE, cardSize, &g_job.m_dwWriteRemaining);
    ASSERT_EQ(outcome.start, TRANSFER_STARTED);
    EXPECT_EQ(g_job.m_bFailed.load(), 0);
    EXPECT_EQ(g_job.m_dwWriteRemaining.load(), 0u);
    EXPECT_EQ(g_job.m_dwJobBytes.load(), image.size());
    std::vector<BYTE> expected = old;
    std::copy(image.begin(), image.end(), expected.begin());
    EXPECT_EQ(ReadAll(*card), expected);
    EXPECT_EQ(world->Calls(kCard, Op::Write), 4);
    CloseDevice();
}

// Counters hold the job's size before the worker runs, and a job after a
// failed one starts clean.
TEST_F(WorkerTest, CountersArePresetAndASecondJobStartsClean) {
    const std::vector<BYTE> content = Pattern(2 * kChunk, 5);
    AddCard(content);
    SetImage(ImagePath());
    // Hold the worker at its first card read to look at the record.
    ULONGLONG seenRead = 0, seenCompare = 0;
    LONG seenFailed = -1;
    world->AtCall(kCard, Op::Read, 1, [&] {
        seenRead = g_job.m_dwReadRemaining.load();
        seenCompare = g_job.m_dwCompareRemaining.load();
        seenFailed = g_job.m_bFailed.load();
    });
    g_job.m_bFailed = 1;  // left over from an earlier job
    world->AddFault(Fault{ImagePath(), Op::Write, 1});
    ASSERT_EQ(Run(JOB_BACKUP, content.size()).start, TRANSFER_STARTED);
    EXPECT_EQ(seenRead, content.size());
    EXPECT_EQ(seenCompare, content.size());
    EXPECT_EQ(seenFailed, 0);
    EXPECT_EQ(g_job.m_bFailed.load(), 1);
    EXPECT_EQ(g_job.m_hBackupThread.load(), nullptr);
    CloseDevice();

    // The thread field is free again, so the next backup gets a worker.
    ASSERT_EQ(Run(JOB_BACKUP, content.size()).start, TRANSFER_STARTED);
    EXPECT_EQ(g_job.m_bFailed.load(), 0);
    EXPECT_EQ(ReadFileBytes(ImagePath()), content);
    EXPECT_EQ(g_job.m_dwTotalBytes.load(), content.size());
    CloseDevice();
}

// ---- faults -------------------------------------------------------------------

enum class Target { Card, Image };

struct FaultCase {
    const char* name;
    BYTE kind;
    Target target;
    Op op;
    int atCall;
    bool comparePhase;  // a backup's comparison fails, not its read phase
};

// Six chunks per pass: 5 whole and one of 1,000 bytes.
constexpr ULONGLONG kFaultSize = 5 * kChunk + 1000;

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class FaultTest : public WorkerTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FaultTest, FailureIsFlaggedBeforeTheCounterEnds) {
    const FaultCase& c = GetParam();
    const std::vector<BYTE> content = Pattern(kFaultSize, 9);
    const std::vector<BYTE> image = Pattern(kFaultSize, 10);
    auto card = AddCard(content);
    if (c.kind == JOB_RESTORE) WriteFileBytes(ImagePath(), image);
    SetImage(ImagePath());
    const auto imageBefore = c.kind == JOB_RESTORE ? std::filesystem::last_write_time(ImagePath())
                                                   : std::filesystem::file_time_type{};
    world->AddFault(Fault{c.target == Target::Card ? kCard : ImagePath(), c.op, c.atCall, ERROR_CRC});

    std::atomic<ULONGLONG>& counter = c.kind == JOB_RESTORE ? g_job.m_dwWriteRemaining
                                      : c.comparePhase      ? g_job.m_dwCompareRemaining
                                                            : g_job.m_dwReadRemaining;
    Outcome outcome = Run(c.kind, kFaultSize, &counter);
    ASSERT_EQ(outcome.start, TRANSFER_STARTED);
    EXPECT_EQ(g_job.m_bFailed.load(), 1);
    EXPECT_EQ(counter.load(), 0u);
    EXPECT_NE(outcome.flagAtZero, 0) << "the counter was seen at 0 before the failure flag";
    EXPECT_EQ(g_job.m_nJobKind.load(), c.kind);
    EXPECT_TRUE(ImageClosed());
    EXPECT_TRUE(Boxes().empty()) << "a worker shows no box for an I/O failure";
    if (c.kind == JOB_BACKUP && !c.comparePhase) {
        // No comparison after a failed read phase.
        EXPECT_EQ(world->Calls(ImagePath(), Op::Read), 0);
    }
    if (c.kind == JOB_RESTORE) {
        EXPECT_EQ(ReadFileBytes(ImagePath()), image) << "a restore never changes its image";
        EXPECT_EQ(std::filesystem::last_write_time(ImagePath()), imageBefore);
    }
    // The worker leaves the card open and locked for the dialog to release.
    EXPECT_TRUE(world->DriveLocked(1));
    CloseDevice();
    EXPECT_FALSE(world->DriveLocked(1));
}

INSTANTIATE_TEST_SUITE_P(
    EachOperation, FaultTest,
    ::testing::Values(
        FaultCase{"backup_card_read_first", JOB_BACKUP, Target::Card, Op::Read, 1, false},
        FaultCase{"backup_card_read_middle", JOB_BACKUP, Target::Card, Op::Read, 3, false},
        FaultCase{"backup_card_read_last", JOB_BACKUP, Target::Card, Op::Read, 6, false},
        FaultCase{"backup_image_write_first", JOB_BACKUP, Target::Image, Op::Write, 1, false},
        FaultCase{"backup_image_write_middle", JOB_BACKUP, Target::Image, Op::Write, 3, false},
        FaultCase{"backup_image_write_last", JOB_BACKUP, Target::Image, Op::Write, 6, false},
        FaultCase{"backup_image_flush", JOB_BACKUP, Target::Image, Op::Flush, 1, true},
        FaultCase{"backup_card_rewind", JOB_BACKUP, Target::Card, Op::Seek, 1, true},
        FaultCase{"backup_image_rewind", JOB_BACKUP, Target::Image, Op::Seek, 1, true},
        FaultCase{"compare_card_read_first", JOB_BACKUP, Target::Card, Op::Read, 7, true},
        FaultCase{"compare_card_read_middle", JOB_BACKUP, Target::Card, Op::Read, 9, true},
        FaultCase{"compare_card_read_last", JOB_BACKUP, Target::Card, Op::Read, 12, true},
        FaultCase{"compare_image_read_first", JOB_BACKUP, Target::Image, Op::Read, 1, true},
        FaultCase{"compare_image_read_middle", JOB_BACKUP, Target::Image, Op::Read, 3, true},
        FaultCase{"compare_image_read_last", JOB_BACKUP, Target::Image, Op::Read, 6, true},
        FaultCase{"restore_image_read_first", JOB_RESTORE, Target::Image, Op::Read, 1, false},
        FaultCase{"restore_image_read_middle", JOB_RESTORE, Target::Image, Op::Read, 3, false},
        FaultCase{"restore_image_read_last", JOB_RESTORE, Target::Image, Op::Read, 6, false},
        FaultCase{"restore_card_write_first", JOB_RESTORE, Target::Card, Op::Write, 1, false},
        FaultCase{"restore_card_write_middle", JOB_RESTORE, Target::Card, Op::Write, 3, false},
        FaultCase{"restore_card_write_last", JOB_RESTORE, Target::Card, Op::Write, 6, false},
        FaultCase{"restore_card_step_back", JOB_RESTORE, Target::Card, Op::Seek, 3, false},
        FaultCase{"restore_read_back_first", JOB_RESTORE, Target::Card, Op::Read, 1, false},
        FaultCase{"restore_read_back_middle", JOB_RESTORE, Target::Card, Op::Read, 3, false},
        FaultCase{"restore_read_back_last", JOB_RESTORE, Target::Card, Op::Read, 6, false}),
    [](const auto& p) { return std::string(p.param.name); });

// A byte that reads back wrong fails the job wherever it sits in the chunk,
// also after the chunk's first zero byte.
struct FlipCase {
    const char* name;
    BYTE kind;
    ULONGLONG offset;
};

void PrintTo(const FlipCase& c, std::ostream* os) { *os << c.name; }

class FlipTest : public WorkerTest, public ::testing::WithParamInterface<FlipCase> {};

TEST_P(FlipTest, EveryByteOfAChunkIsCompared) {
    const FlipCase& c = GetParam();
    std::vector<BYTE> content(3 * kChunk, 0x5A);
    content[kChunk] = 0;  // the second chunk starts with a zero byte
    content[kChunk + 200] = 0;
    std::vector<BYTE> image = content;
    AddCard(c.kind == JOB_BACKUP ? content : std::vector<BYTE>(content.size(), 0));
    if (c.kind == JOB_RESTORE) WriteFileBytes(ImagePath(), image);
    SetImage(ImagePath());
    // The backup reads the card twice; the flip hits the comparison's read.
    world->AddFlip(FlipOnRead{kCard, c.offset, c.kind == JOB_BACKUP ? 2 : 1, 0x10});

    ASSERT_EQ(Run(c.kind, content.size()).start, TRANSFER_STARTED);
    EXPECT_EQ(g_job.m_bFailed.load(), 1);
    CloseDevice();
}

INSTANTIATE_TEST_SUITE_P(Offsets, FlipTest,
                         ::testing::Values(FlipCase{"backup_first_byte", JOB_BACKUP, kChunk},
                                           FlipCase{"backup_before_zero", JOB_BACKUP, kChunk + 100},
                                           FlipCase{"backup_after_zero", JOB_BACKUP, kChunk + 5000},
                                           FlipCase{"backup_last_byte", JOB_BACKUP, 3 * kChunk - 1},
                                           FlipCase{"restore_before_zero", JOB_RESTORE, kChunk + 100},
                                           FlipCase{"restore_after_zero", JOB_RESTORE, kChunk + 5000}),
                         [](const auto& p) { return std::string(p.param.name); });

// A short read is not a failure and never pads: the next chunk picks up
// where the short one ended.
TEST_F(WorkerTest, ShortReadsMoveOnWithoutPadding) {
    const std::vector<BYTE> content = Pattern(4 * kChunk, 21);
    AddCard(content);
    SetImage(ImagePath());
    world->AddShortRead(ShortRead{kCard, 2, 512});
    world->AddShortRead(ShortRead{kCard, 8, 1000});  // in the comparison
    ASSERT_EQ(Run(JOB_BACKUP, content.size()).start, TRANSFER_STARTED);
    EXPECT_EQ(g_job.m_bFailed.load(), 0);
    EXPECT_EQ(ReadFileBytes(ImagePath()), content);
    CloseDevice();

    auto blank = MemoryStorage(content.size());
    world->AddDrive(1, CardSpec{true, true, {}, blank, 512, {'E'}, false});
    world->AddShortRead(ShortRead{ImagePath(), 3, 4096});
    ASSERT_EQ(Run(JOB_RESTORE, content.size()).start, TRANSFER_STARTED);
    EXPECT_EQ(g_job.m_bFailed.load(), 0);
    EXPECT_EQ(ReadAll(*blank), content);
    CloseDevice();
}

// A card that ends before its capacity is a failed backup, not a short image.
TEST_F(WorkerTest, MediumThatVanishesOrEndsEarlyFailsTheJob) {
    const std::vector<BYTE> content = Pattern(4 * kChunk, 2);
    AddCard(content);
    SetImage(ImagePath());
    world->VanishAt(1, Op::Read, 3);
    ASSERT_EQ(Run(JOB_BACKUP, content.size(), &g_job.m_dwReadRemaining).start, TRANSFER_STARTED);
    EXPECT_EQ(g_job.m_bFailed.load(), 1);
    EXPECT_EQ(g_job.m_dwReadRemaining.load(), 0u);
    CloseDevice();

    // The capacity claims a chunk more than the medium holds.
    AddCard(content);
    ASSERT_EQ(Run(JOB_BACKUP, content.size() + kChunk).start, TRANSFER_STARTED);
    EXPECT_EQ(g_job.m_bFailed.load(), 1);
    CloseDevice();

    AddCard(std::vector<BYTE>(content.size(), 0));
    WriteFileBytes(ImagePath(), content);
    world->VanishAt(1, Op::Write, 2);
    ASSERT_EQ(Run(JOB_RESTORE, content.size()).start, TRANSFER_STARTED);
    EXPECT_EQ(g_job.m_bFailed.load(), 1);
    EXPECT_EQ(g_job.m_dwWriteRemaining.load(), 0u);
    CloseDevice();
}

// ---- an image that cannot be opened ---------------------------------------------

TEST_F(WorkerTest, BackupImageThatCannotBeCreatedIsReportedByTheWorker) {
    AddCard(Pattern(2 * kChunk, 4));
    SetImage((folder / "no-such-folder" / "card.bin").string());
    ASSERT_EQ(Run(JOB_BACKUP, 2 * kChunk).start, TRANSFER_STARTED);
    auto shown = Boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].owner, nullptr);
    EXPECT_EQ(shown[0].text, "Failed to backup the data.");
    EXPECT_EQ(shown[0].caption, "Error");
    EXPECT_EQ(shown[0].type, (UINT)(MB_OK | MB_ICONERROR));
    EXPECT_EQ(g_job.m_bFailed.load(), 1);
    EXPECT_EQ(g_job.m_dwReadRemaining.load(), 0u);
    EXPECT_EQ(g_job.m_nJobKind.load(), JOB_NONE);
    EXPECT_EQ(world->Calls(kCard, Op::Read), 0);
    // Unlocked by the worker, still open for the dialog.
    EXPECT_FALSE(world->DriveLocked(1));
    DISK_GEOMETRY geometry;
    DWORD returned = 0;
    EXPECT_TRUE(DeviceIoControl(g_job.m_hDevice, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry,
                                sizeof geometry, &returned, nullptr));
    CloseDevice();
}

TEST_F(WorkerTest, RestoreImageThatCannotBeOpenedLeavesTheCardUntouched) {
    const std::vector<BYTE> content = Pattern(2 * kChunk, 6);
    auto card = AddCard(content);
    WriteFileBytes(ImagePath(), Pattern(2 * kChunk, 8));
    SetImage(ImagePath());
    // Someone else holds the image without sharing.
    HANDLE holder = CreateFileA(ImagePath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    ASSERT_EQ(Run(JOB_RESTORE, content.size()).start, TRANSFER_STARTED);
    CloseHandle(holder);
    auto shown = Boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Failed to recovery the data.");
    EXPECT_EQ(shown[0].owner, nullptr);
    EXPECT_EQ(g_job.m_nJobKind.load(), JOB_NONE);
    EXPECT_EQ(g_job.m_bFailed.load(), 1);
    EXPECT_EQ(g_job.m_dwWriteRemaining.load(), 0u);
    EXPECT_EQ(world->Calls(kCard, Op::Write), 0);
    EXPECT_EQ(ReadAll(*card), content);
    CloseDevice();
}

// An image path must name a regular file: card data never goes to a device,
// FIFO or socket through it, and a folder is no image either.
TEST_F(WorkerTest, ImagePathThatIsNotARegularFileIsRefused) {
    AddCard(Pattern(kChunk, 1));
    const std::string fifo = ImagePath("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {std::string("/dev/null"), fifo, folder.string()}) {
        SetImage(path);
        boxes.clear();
        ASSERT_EQ(Run(JOB_BACKUP, kChunk).start, TRANSFER_STARTED) << path;
        EXPECT_EQ(g_job.m_bFailed.load(), 1) << path;
        EXPECT_EQ(Boxes().size(), 1u) << path;
        CloseDevice();
        ASSERT_EQ(Run(JOB_RESTORE, kChunk).start, TRANSFER_STARTED) << path;
        EXPECT_EQ(g_job.m_bFailed.load(), 1) << path;
        EXPECT_EQ(world->Calls(kCard, Op::Write), 0) << path;
        CloseDevice();
    }
}

// ---- stop ---------------------------------------------------------------------------

class StopTest : public WorkerTest {
protected:
    // What Quit does: counters to 0, then the event.
    void StopAt(const std::string& target, Op op, int atCall) {
        world->AtCall(target, op, atCall, [] {
            g_job.m_dwReadRemaining = 0;
            g_job.m_dwCompareRemaining = 0;
            g_job.m_dwWriteRemaining = 0;
            SetEvent(g_job.m_hStopEvent);
        });
    }
};

TEST_F(StopTest, StopInTheReadPhaseSkipsTheComparison) {
    AddCard(Pattern(6 * kChunk, 12));
    SetImage(ImagePath());
    StopAt(kCard, Op::Read, 3);
    ASSERT_EQ(Run(JOB_BACKUP, 6 * kChunk).start, TRANSFER_STARTED);
    EXPECT_EQ(g_job.m_bFailed.load(), 1);
    EXPECT_EQ(g_job.m_dwReadRemaining.load(), 0u);
    EXPECT_EQ(world->Calls(kCard, Op::Read), 3) << "the chunk in progress ends, no further chunk starts";
    EXPECT_EQ(world->Calls(ImagePath(), Op::Read), 0);
    EXPECT_TRUE(ImageClosed());
    CloseDevice();
}

TEST_F(StopTest, StopInTheComparisonFailsIt) {
    AddCard(Pattern(6 * kChunk, 13));
    SetImage(ImagePath());
    StopAt(kCard, Op::Read, 8);
    ASSERT_EQ(Run(JOB_BACKUP, 6 * kChunk).start, TRANSFER_STARTED);
    EXPECT_EQ(g_job.m_bFailed.load(), 1);
    EXPECT_EQ(g_job.m_dwCompareRemaining.load(), 0u);
    EXPECT_EQ(world->Calls(kCard, Op::Read), 8);
    EXPECT_TRUE(ImageClosed());
    CloseDevice();
}

TEST_F(StopTest, RestoreFinishesTheChunkInProgress) {
    auto card = AddCard(std::vector<BYTE>(6 * kChunk, 0));
    const std::vector<BYTE> image = Pattern(6 * kChunk, 14);
    WriteFileBytes(ImagePath(), image);
    SetImage(ImagePath());
    StopAt(ImagePath(), Op::Read, 2);
    ASSERT_EQ(Run(JOB_RESTORE, 6 * kChunk).start, TRANSFER_STARTED);
    EXPECT_EQ(g_job.m_bFailed.load(), 1);
    EXPECT_EQ(g_job.m_dwWriteRemaining.load(), 0u);
    // Chunk 2 was written and read back; chunk 3 never started.
    EXPECT_EQ(world->Calls(kCard, Op::Write), 2);
    EXPECT_EQ(world->Calls(kCard, Op::Read), 2);
    std::vector<BYTE> expected(6 * kChunk, 0);
    std::copy(image.begin(), image.begin() + 2 * kChunk, expected.begin());
    EXPECT_EQ(ReadAll(*card), expected);
    CloseDevice();
}

// ---- the start itself ------------------------------------------------------------------

TEST_F(WorkerTest, StartReportsACardThatWillNotOpenOrLock) {
    SetImage(ImagePath());
    g_job.m_nJobKind = JOB_BACKUP;
    EXPECT_EQ(StartTransferJob(JOB_BACKUP, "\\\\.\\PhysicalDrive4"), TRANSFER_DEVICE_NOT_OPENED);
    EXPECT_EQ(g_job.m_hDevice, INVALID_HANDLE_VALUE);
    EXPECT_EQ(g_job.m_nJobKind.load(), JOB_BACKUP);

    AddCard(Pattern(kChunk, 1));
    world->SetInUse(1, true);
    g_job.m_nJobKind = JOB_NONE;
    EXPECT_EQ(StartTransferJob(JOB_RESTORE, kCard), TRANSFER_DEVICE_IN_USE);
    EXPECT_EQ(g_job.m_hDevice, INVALID_HANDLE_VALUE) << "a closed handle is marked invalid";
    EXPECT_EQ(g_job.m_nJobKind.load(), JOB_NONE);
    EXPECT_EQ(g_job.m_hRestoreThread.load(), nullptr);
    CloseDevice();  // nothing left to close: no call reaches a stale handle
}

}  // namespace
