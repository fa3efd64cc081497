// Simulated cards, disks and volumes, with faults injected where a test asks.
//
// Physical drives are numbered as the test adds them. Each may carry volumes
// under drive letters. Letters can also be mapped to a host folder (DOS paths
// on that letter are files there) or to an in-memory volume whose files are
// sparse, so that images of many GiB cost only the bytes that are not zero.
// POSIX paths are host files. Every open is recorded.
#pragma once

#include "platform/backend.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace platform::sim {

// Bytes of a card or of an in-memory file.
class Storage {
public:
    virtual ~Storage() = default;
    virtual ULONGLONG Size() const = 0;
    virtual void Resize(ULONGLONG size) = 0;
    // Returns false on a host failure.
    virtual bool Read(ULONGLONG offset, void* buffer, size_t length) const = 0;
    virtual bool Write(ULONGLONG offset, const void* buffer, size_t length) = 0;
};

// In memory, in 64 KiB pages; pages never written, or written with zeros
// only, take no memory.
std::shared_ptr<Storage> MemoryStorage(ULONGLONG size);
// A host file (sparse where the file system allows); created at that size
// when missing.
std::shared_ptr<Storage> FileStorage(const std::string& hostPath, ULONGLONG size);

enum class Op { Open, Read, Write, Seek, Flush, Lock, Control };

// The atCall-th call of op on target fails with error. target is the path as
// the program passes it ("\\.\PhysicalDrive1", "C:\Drive.bin", "/tmp/x.bin"),
// or "*" for any.
struct Fault {
    std::string target;
    Op op;
    int atCall;
    DWORD error = ERROR_GEN_FAILURE;
};

// The atCall-th read of target returns at most bytes.
struct ShortRead {
    std::string target;
    int atCall;
    DWORD bytes;
};

// The byte at offset reads back with mask xor-ed into it the nth time it is
// read (the stored byte is not changed).
struct FlipOnRead {
    std::string target;
    ULONGLONG offset;
    int nthRead = 1;
    BYTE mask = 0x01;
};

struct Geometry {
    LONGLONG cylinders;
    DWORD tracksPerCylinder;
    DWORD sectorsPerTrack;
    DWORD bytesPerSector;
};

struct CardSpec {
    bool removable = true;
    bool medium = true;
    // Sizes come from the geometry when it is given, else from the storage,
    // with heads and sectors chosen so that the product is the whole medium.
    std::optional<Geometry> geometry;
    std::shared_ptr<Storage> storage;
    DWORD bytesPerSector = 512;
    std::vector<char> letters;  // its volumes
    bool inUse = false;         // the lock is refused
};

class SimWorld : public Backend {
public:
    SimWorld();
    ~SimWorld() override;

    // The card becomes \\.\PhysicalDrive<number>.
    void AddDrive(int number, CardSpec spec);
    void RemoveDrive(int number);
    void SetMedium(int number, bool present);
    void SetInUse(int number, bool inUse);
    std::shared_ptr<Storage> DriveStorage(int number);
    bool DriveLocked(int number);

    // DOS paths on letter are files in hostFolder; its free space is the
    // host's unless set.
    void MapFolder(char letter, const std::string& hostFolder);
    // DOS paths on letter are sparse in-memory files.
    void MapMemoryVolume(char letter, ULONGLONG freeBytes);
    void SetFreeSpace(char letter, ULONGLONG freeBytes);
    std::shared_ptr<Storage> MemoryFile(const std::string& dosPath);

    void AddFault(Fault fault);
    void AddShortRead(ShortRead shortRead);
    void AddFlip(FlipOnRead flip);
    // The medium of drive number is gone from its atCall-th read or write on.
    void VanishAt(int number, Op op, int atCall);

    // Runs action during the atCall-th call of op on target, before the call
    // does its work (a test's way to act at an exact point of a job). The
    // action must not call back into the simulation.
    void AtCall(std::string target, Op op, int atCall, std::function<void()> action);

    // Every path passed to CreateFileA, in order.
    std::vector<std::string> Opens();
    int Calls(const std::string& target, Op op);

    // Backend
    std::shared_ptr<FileObject> CreateFile(const std::string& path, DWORD access, DWORD share, DWORD creation,
                                           DWORD flags) override;
    bool DeleteFile(const std::string& path) override;
    bool GetFileAttributes(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA* data) override;
    std::shared_ptr<FindObject> FindFirst(const std::string& pattern, WIN32_FIND_DATAA* data) override;
    DWORD GetLogicalDrives() override;
    bool GetDiskFreeSpace(const std::string& root, ULONGLONG* callerFree, ULONGLONG* total,
                          ULONGLONG* totalFree) override;

    struct State;  // shared with the open objects

private:
    std::shared_ptr<State> state_;
};

}  // namespace platform::sim
