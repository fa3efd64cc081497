// The drive list, the card's capacity, selection and Refresh, on simulated
// machines and on the Linux backend over a made-up sysfs.
#include "tests/support/dialog_fixture.h"
#include "tests/support/fake_machine.h"

#include <algorithm>

using platform::sim::CardSpec;
using platform::sim::Fault;
using platform::sim::Geometry;
using platform::sim::MemoryStorage;
using platform::sim::Op;

namespace {

// A disk of the simulated machine: its MBR carries the signature.
struct Disk {
    int number;
    bool removable;
    std::vector<char> letters;
    DWORD signature = 0;
    bool medium = true;
};

CardSpec specOf(const Disk& d) {
    CardSpec spec;
    spec.removable = d.removable;
    spec.medium = d.medium;
    spec.letters = d.letters;
    spec.storage = MemoryStorage(8 << 20);
    BYTE sector[512] = {};
    for (int i = 0; i < 4; ++i) sector[440 + i] = (BYTE)(d.signature >> (8 * i));
    sector[510] = 0x55;
    sector[511] = 0xAA;
    spec.storage->Write(0, sector, sizeof sector);
    return spec;
}

struct Machine {
    const char* name;
    std::vector<Disk> disks;
    std::vector<std::pair<std::string, std::string>> rows;  // number, letter
    std::vector<std::string> items;
    // Paths that must never be opened.
    std::vector<std::string> neverOpened = {};
};

void PrintTo(const Machine& m, std::ostream* os) { *os << m.name; }

const Disk kSystemDisk{0, false, {'C'}, 0x0C0C0C0C};

class DriveListTest : public DialogFixture, public ::testing::WithParamInterface<Machine> {};

TEST_P(DriveListTest, ListsTheRemovableCardsUnderTheirLetters) {
    const Machine& m = GetParam();
    for (const Disk& d : m.disks) world->AddDrive(d.number, specOf(d));
    CCorvaneDlg& dlg = OpenDialog();

    for (int row = 0; row < DRIVE_TABLE_SIZE; ++row) {
        const std::string number = g_driveTable[row].szDriveNumber, letter = g_driveTable[row].szDriveLetter;
        if (row < (int)m.rows.size()) {
            EXPECT_EQ(number, m.rows[row].first) << "row " << row;
            EXPECT_EQ(letter, m.rows[row].second) << "row " << row;
        } else {
            EXPECT_EQ(letter, "") << "row " << row << " should be empty";
        }
    }
    EXPECT_EQ(fwtest::Items(dlg, IDC_DRIVE), m.items);
    const bool any = !m.items.empty();
    EXPECT_EQ(fwtest::Selection(dlg, IDC_DRIVE), any ? 0 : CB_ERR);
    EXPECT_EQ(g_bBackupEnabled, any ? 1 : 0);
    EXPECT_EQ(g_bRestoreEnabled, any ? 1 : 0);
    EXPECT_EQ(fwtest::ImageId(dlg, IDC_BACKUP), any ? (UINT)IDB_BACKUP_ON : (UINT)IDB_BACKUP_OFF);
    EXPECT_EQ(fwtest::ImageId(dlg, IDC_RESTORE), any ? (UINT)IDB_RESTORE_ON : (UINT)IDB_RESTORE_OFF);
    const auto opens = world->Opens();
    for (const std::string& path : m.neverOpened)
        EXPECT_EQ(std::count(opens.begin(), opens.end(), path), 0) << path << " was opened";
    EXPECT_TRUE(Boxes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Machines, DriveListTest,
    ::testing::Values(
        Machine{"no_removable_drive", {kSystemDisk}, {}, {}},
        Machine{"two_cards_listed_by_drive_number",
                {kSystemDisk, {3, true, {'F'}, 0x33}, {1, true, {'G'}, 0x11}},
                {{"1", "G"}, {"3", "F"}},
                {"G Drive", "F Drive"}},
        Machine{"a_reader_without_medium", {kSystemDisk, {2, true, {'E'}, 0x22, false}}, {}, {}},
        Machine{"two_volumes_take_the_first_letter", {kSystemDisk, {1, true, {'H', 'E'}, 0x44}}, {{"1", "E"}}, {"E Drive"}},
        Machine{"equal_signatures_get_different_letters",
                {{1, true, {'E'}, 0}, {2, true, {'F'}, 0}},
                {{"1", "E"}, {"2", "F"}},
                {"E Drive", "F Drive"}},
        Machine{"a_signature_shared_with_the_system_disk",
                {kSystemDisk, {1, true, {'E'}, kSystemDisk.signature}},
                {{"1", "C"}},
                {"C Drive"}},
        Machine{"volumes_on_a_and_b_are_never_opened",
                {{1, true, {'A'}, 0x55}, {2, true, {'B'}, 0x66}},
                {},
                {},
                {"\\\\.\\A:", "\\\\.\\B:"}},
        Machine{"drive_ten_is_never_probed", {{10, true, {'E'}, 0x77}}, {}, {}, {"\\\\.\\PhysicalDrive10"}}),
    [](const auto& p) { return std::string(p.param.name); });

// ---- capacity -------------------------------------------------------------------------

TEST(DriveSize, TextFromTheWholeKibibytes) {
    struct Case {
        ULONGLONG bytes;
        const char* text;
    };
    const Case cases[] = {
        {3970ull * 16 * 63 * 512, "1.91GB"}, {993ull * 16 * 63 * 512, "488.74MB"},
        {(1ull << 30) - 1, "1024.00MB"},     {1ull << 30, "1.00GB"},
        {1023, "0.00MB"},                    {32000000000ull, "29.80GB"},
    };
    for (const Case& c : cases) {
        char text[64];
        FormatDriveSize(c.bytes, text, sizeof text);
        EXPECT_STREQ(text, c.text) << c.bytes;
    }
    DISK_GEOMETRY g{};
    g.Cylinders.QuadPart = 62500000;
    g.TracksPerCylinder = 1;
    g.SectorsPerTrack = 1;
    g.BytesPerSector = 512;
    EXPECT_EQ(DriveCapacity(g), 32000000000ull) << "no 32-bit wrap";
}

class DeviceInfoTest : public DialogFixture {
protected:
    void AddCard(int number, char letter, Geometry geometry) {
        CardSpec spec = specOf({number, true, {letter}, (DWORD)(0x1000 + number)});
        spec.geometry = geometry;
        world->AddDrive(number, spec);
    }
};

TEST_F(DeviceInfoTest, TheSelectedCardsSizeBecomesTheJobSize) {
    AddCard(1, 'E', {3970, 16, 63, 512});
    AddCard(2, 'F', {62500000, 1, 1, 512});  // 32 GB
    CCorvaneDlg& dlg = OpenDialog();
    EXPECT_EQ(fwtest::Text(dlg, IDC_DRIVE_SIZE), "1.91GB");
    EXPECT_EQ(g_job.m_dwTotalBytes.load(), 2048901120ull);

    fwtest::Select(dlg, IDC_DRIVE, 1);
    EXPECT_EQ(fwtest::Text(dlg, IDC_DRIVE_SIZE), "29.80GB");
    EXPECT_EQ(g_job.m_dwTotalBytes.load(), 32000000000ull);
    EXPECT_EQ(g_bBackupEnabled, 1);
    EXPECT_EQ(g_bRestoreEnabled, 1);
    // The probe's lock is let go again.
    EXPECT_FALSE(world->DriveLocked(2));
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(DeviceInfoTest, ACardInUseIsReportedAndLeavesTheSizeAlone) {
    AddCard(1, 'E', {993, 16, 63, 512});
    AddCard(2, 'F', {3970, 16, 63, 512});
    world->SetInUse(2, true);
    CCorvaneDlg& dlg = OpenDialog();
    fwtest::Select(dlg, IDC_DRIVE, 1);
    auto shown = Boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Specified drive is being used.\nQuit the application, and execute it again.");
    EXPECT_EQ(shown[0].caption, "Message");
    EXPECT_EQ(shown[0].type, (UINT)(MB_OK | MB_ICONINFORMATION));
    EXPECT_EQ(shown[0].owner, DialogWindow());
    EXPECT_EQ(fwtest::Text(dlg, IDC_DRIVE_SIZE), "488.74MB");
    EXPECT_EQ(g_job.m_dwTotalBytes.load(), 512483328ull);
    EXPECT_EQ(fwtest::ImageId(dlg, IDC_BACKUP), (UINT)IDB_BACKUP_ON);
    EXPECT_EQ(fwtest::ImageId(dlg, IDC_RESTORE), (UINT)IDB_RESTORE_ON);
}

TEST_F(DeviceInfoTest, AFailedGeometryQueryIsShownInTheStatusLine) {
    AddCard(1, 'E', {993, 16, 63, 512});
    AddCard(2, 'F', {3970, 16, 63, 512});
    // The list asks twice (geometry, layout); the third query is the size's.
    world->AddFault(Fault{"\\\\.\\PhysicalDrive2", Op::Control, 3, ERROR_NOT_READY});
    CCorvaneDlg& dlg = OpenDialog();
    fwtest::Select(dlg, IDC_DRIVE, 1);
    EXPECT_EQ(fwtest::Text(dlg, IDC_STATUS), "Failed to read the device information.");
    EXPECT_EQ(fwtest::Text(dlg, IDC_DRIVE_SIZE), "488.74MB");
    EXPECT_EQ(g_job.m_dwTotalBytes.load(), 512483328ull);
    EXPECT_FALSE(world->DriveLocked(2)) << "unlocked after the failed query";
    EXPECT_TRUE(Boxes().empty());
}

// ---- Refresh -------------------------------------------------------------------------

TEST_F(DeviceInfoTest, RefreshFollowsTheCardsAndIsRefusedDuringAJob) {
    CCorvaneDlg& dlg = OpenDialog();
    EXPECT_TRUE(fwtest::Items(dlg, IDC_DRIVE).empty());
    EXPECT_EQ(g_bBackupEnabled, 0);

    // A card is inserted.
    AddCard(1, 'E', {993, 16, 63, 512});
    fwtest::Click(dlg, IDC_REFRESH);
    EXPECT_EQ(fwtest::Items(dlg, IDC_DRIVE), std::vector<std::string>{"E Drive"});
    EXPECT_EQ(fwtest::Text(dlg, IDC_DRIVE_SIZE), "488.74MB");
    EXPECT_EQ(fwtest::ImageId(dlg, IDC_BACKUP), (UINT)IDB_BACKUP_ON);
    EXPECT_EQ(fwtest::ImageId(dlg, IDC_RESTORE), (UINT)IDB_RESTORE_ON);

    // While a job runs nothing changes, whatever the hardware does.
    g_job.m_nJobKind = JOB_BACKUP;
    AddCard(2, 'F', {3970, 16, 63, 512});
    const size_t opens = world->Opens().size();
    fwtest::Click(dlg, IDC_REFRESH);
    EXPECT_EQ(fwtest::Items(dlg, IDC_DRIVE), std::vector<std::string>{"E Drive"});
    EXPECT_EQ(world->Opens().size(), opens);
    g_job.m_nJobKind = JOB_NONE;

    // The only card is taken out: an empty list, both buttons off, the size kept.
    world->RemoveDrive(1);
    world->RemoveDrive(2);
    fwtest::Click(dlg, IDC_REFRESH);
    EXPECT_TRUE(fwtest::Items(dlg, IDC_DRIVE).empty());
    EXPECT_EQ(fwtest::Selection(dlg, IDC_DRIVE), CB_ERR);
    EXPECT_EQ(g_bBackupEnabled, 0);
    EXPECT_EQ(g_bRestoreEnabled, 0);
    EXPECT_EQ(fwtest::ImageId(dlg, IDC_BACKUP), (UINT)IDB_BACKUP_OFF);
    EXPECT_EQ(fwtest::ImageId(dlg, IDC_RESTORE), (UINT)IDB_RESTORE_OFF);
    EXPECT_EQ(fwtest::Text(dlg, IDC_DRIVE_SIZE), "488.74MB");
    EXPECT_EQ(g_driveTable[0].szDriveLetter[0], 0);
}

// ---- the Linux backend ------------------------------------------------------------------

class LinuxDrives : public DialogFixture {
protected:
    testsupport::FakeMachine m;
};

// The system disk's partition holds /, so it is C:; the card, a whole disk
// without partitions, is the next volume: D:.
TEST_F(LinuxDrives, ACardIsFoundLetteredAndMeasured) {
    const uint64_t cardBytes = 16 << 20;
    m.AddDisk({.name = "sda", .bytes = 64 << 20, .parts = {{1, 2048, 100000}}});
    m.AddDisk({.name = "sdb", .bytes = cardBytes, .removable = true});
    testsupport::writeBytes(m.Node("sda"), 0, testsupport::mbr(0x5DA5DA00, true, 2048, 100000));
    testsupport::writeBytes(m.Node("sdb"), 0, testsupport::mbr(0xCAFEF00D, true));
    m.MountNode("sda1", "/");
    platform::SetBackend(std::make_shared<platform::LinuxBackend>(m.roots));

    CCorvaneDlg& dlg = OpenDialog();
    EXPECT_EQ(fwtest::Items(dlg, IDC_DRIVE), std::vector<std::string>{"D Drive"});
    EXPECT_STREQ(g_driveTable[0].szDriveNumber, "1");
    EXPECT_STREQ(g_driveTable[0].szDriveLetter, "D");
    EXPECT_EQ(fwtest::Text(dlg, IDC_DRIVE_SIZE), "16.00MB");
    EXPECT_EQ(g_job.m_dwTotalBytes.load(), cardBytes);
    EXPECT_TRUE(Boxes().empty());

    // Its file system mounted, the card is in use.
    m.MountNode("sdb", m.Folder("card"));
    fwtest::Click(dlg, IDC_REFRESH);
    auto shown = Boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Specified drive is being used.\nQuit the application, and execute it again.");
}

}  // namespace
