#include "platform/sim/sim_backend.h"

#include "platform/core/paths.h"
#include "platform/linux/posix_files.h"

#include <algorithm>
#include <cstring>
#include <fnmatch.h>
#include <unordered_map>

#include <fcntl.h>
#include <unistd.h>

namespace platform::sim {
namespace {

constexpr ULONGLONG kPage = 64 * 1024;

class MemoryStorageImpl : public Storage {
public:
    explicit MemoryStorageImpl(ULONGLONG size) : size_(size) {}
    ULONGLONG Size() const override { return size_; }
    void Resize(ULONGLONG size) override {
        // Bytes beyond a new end read as zero if the storage grows again.
        for (auto it = pages_.begin(); it != pages_.end();) {
            if (it->first * kPage >= size) {
                it = pages_.erase(it);
            } else {
                if ((it->first + 1) * kPage > size) {
                    size_t keep = (size_t)(size - it->first * kPage);
                    std::memset(it->second.get() + keep, 0, kPage - keep);
                }
                ++it;
            }
        }
        size_ = size;
    }
    bool Read(ULONGLONG offset, void* buffer, size_t length) const override {
        auto* out = static_cast<BYTE*>(buffer);
        while (length > 0) {
            ULONGLONG page = offset / kPage;
            size_t at = (size_t)(offset % kPage), n = std::min<size_t>(length, kPage - at);
            auto it = pages_.find(page);
            if (it == pages_.end())
                std::memset(out, 0, n);
            else
                std::memcpy(out, it->second.get() + at, n);
            out += n, offset += n, length -= n;
        }
        return true;
    }
    bool Write(ULONGLONG offset, const void* buffer, size_t length) override {
        const auto* in = static_cast<const BYTE*>(buffer);
        while (length > 0) {
            ULONGLONG page = offset / kPage;
            size_t at = (size_t)(offset % kPage), n = std::min<size_t>(length, kPage - at);
            auto it = pages_.find(page);
            if (it == pages_.end()) {
                if (std::all_of(in, in + n, [](BYTE b) { return b == 0; })) {
                    in += n, offset += n, length -= n;
                    continue;
                }
                it = pages_.emplace(page, std::make_unique<BYTE[]>(kPage)).first;
                std::memset(it->second.get(), 0, kPage);
            }
            std::memcpy(it->second.get() + at, in, n);
            in += n, offset += n, length -= n;
        }
        return true;
    }

private:
    ULONGLONG size_;
    std::unordered_map<ULONGLONG, std::unique_ptr<BYTE[]>> pages_;
};

class FileStorageImpl : public Storage {
public:
    FileStorageImpl(int fd, ULONGLONG size) : fd_(fd), size_(size) {}
    ~FileStorageImpl() override { ::close(fd_); }
    ULONGLONG Size() const override { return size_; }
    void Resize(ULONGLONG size) override {
        if (::ftruncate(fd_, (off_t)size) == 0) size_ = size;
    }
    bool Read(ULONGLONG offset, void* buffer, size_t length) const override {
        auto* out = static_cast<char*>(buffer);
        while (length > 0) {
            ssize_t n = ::pread(fd_, out, length, (off_t)offset);
            if (n < 0) return false;
            if (n == 0) {  // past the host file's end: zeros, like a fresh card
                std::memset(out, 0, length);
                return true;
            }
            out += n, offset += (ULONGLONG)n, length -= (size_t)n;
        }
        return true;
    }
    bool Write(ULONGLONG offset, const void* buffer, size_t length) override {
        const auto* in = static_cast<const char*>(buffer);
        while (length > 0) {
            ssize_t n = ::pwrite(fd_, in, length, (off_t)offset);
            if (n <= 0) return false;
            in += n, offset += (ULONGLONG)n, length -= (size_t)n;
        }
        return true;
    }

private:
    int fd_;
    ULONGLONG size_;
};

bool fail(DWORD error) {
    SetLastError(error);
    return false;
}

}  // namespace

std::shared_ptr<Storage> MemoryStorage(ULONGLONG size) { return std::make_shared<MemoryStorageImpl>(size); }

std::shared_ptr<Storage> FileStorage(const std::string& hostPath, ULONGLONG size) {
    int fd = ::open(hostPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    off_t end = ::lseek(fd, 0, SEEK_END);
    if ((ULONGLONG)end < size && ::ftruncate(fd, (off_t)size) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_shared<FileStorageImpl>(fd, size);
}

struct Action {
    std::string target;
    Op op;
    int atCall;
    std::function<void()> action;
};

struct Vanish {
    int number;
    Op op;
    int atCall;
};

struct MemFile {
    std::shared_ptr<Storage> storage;
    int opens = 0;
    bool exclusive = false;
};

struct MemVolume {
    ULONGLONG freeBytes = 0;
    std::map<std::string, MemFile> files;
};

struct Drive {
    CardSpec spec;
    bool locked = false;
};

struct SimWorld::State {
    std::mutex lock;
    std::map<int, Drive> drives;
    std::map<char, std::string> folders;
    std::map<char, MemVolume> memory;
    std::map<char, ULONGLONG> freeSpace;
    std::vector<Fault> faults;
    std::vector<ShortRead> shortReads;
    std::vector<FlipOnRead> flips;
    std::vector<int> flipCounts;
    std::vector<Vanish> vanishes;
    std::vector<Action> actions;
    std::vector<std::string> opens;
    std::map<std::pair<std::string, Op>, int> calls;

    // Counts a call and tells the error of a fault set for it (0 for none).
    DWORD Hit(const std::string& target, Op op) {
        int n = ++calls[{target, op}];
        for (const Action& a : actions)
            if ((a.target == target || a.target == "*") && a.op == op && a.atCall == n) a.action();
        for (const Fault& f : faults)
            if ((f.target == target || f.target == "*") && f.op == op && f.atCall == n) return f.error;
        return 0;
    }
    int Count(const std::string& target, Op op) {
        auto it = calls.find({target, op});
        return it == calls.end() ? 0 : it->second;
    }
    DWORD ShortLimit(const std::string& target, DWORD length) {
        int n = Count(target, Op::Read);
        for (const ShortRead& s : shortReads)
            if ((s.target == target || s.target == "*") && s.atCall == n) return std::min(length, s.bytes);
        return length;
    }
    void ApplyFlips(const std::string& target, ULONGLONG offset, BYTE* buffer, DWORD length) {
        for (size_t i = 0; i < flips.size(); ++i) {
            const FlipOnRead& f = flips[i];
            if (f.target != target || f.offset < offset || f.offset >= offset + length) continue;
            if (++flipCounts[i] == f.nthRead) buffer[f.offset - offset] ^= f.mask;
        }
    }
    // True when the medium of drive number goes away at this call.
    void CheckVanish(int number, const std::string& target, Op op) {
        for (const Vanish& v : vanishes)
            if (v.number == number && v.op == op && Count(target, op) == v.atCall) drives[number].spec.medium = false;
    }
};

namespace {

using State = SimWorld::State;

Geometry geometryOf(const CardSpec& spec) {
    if (spec.geometry) return *spec.geometry;
    ULONGLONG sectors = spec.storage ? spec.storage->Size() / spec.bytesPerSector : 0;
    for (DWORD heads : {255u, 16u})
        if (sectors > 0 && sectors % (heads * 63ull) == 0)
            return {(LONGLONG)(sectors / (heads * 63ull)), heads, 63, spec.bytesPerSector};
    return {(LONGLONG)sectors, 1, 1, spec.bytesPerSector};
}

ULONGLONG capacityOf(const CardSpec& spec) {
    if (!spec.storage) return 0;
    return spec.storage->Size();
}

DWORD signatureOf(const CardSpec& spec) {
    BYTE sector[512] = {};
    if (!spec.storage || spec.storage->Size() < 512 || !spec.storage->Read(0, sector, 512)) return 0;
    if (sector[510] != 0x55 || sector[511] != 0xAA) return 0;
    return (DWORD)sector[440] | (DWORD)sector[441] << 8 | (DWORD)sector[442] << 16 | (DWORD)sector[443] << 24;
}

// A physical drive or one of its volumes, opened.
class SimDisk : public FileObject {
public:
    SimDisk(std::shared_ptr<State> state, int number, std::string target)
        : state_(std::move(state)), number_(number), target_(std::move(target)) {}
    ~SimDisk() override {
        std::lock_guard<std::mutex> guard(state_->lock);
        auto it = state_->drives.find(number_);
        if (holdsLock_ && it != state_->drives.end()) it->second.locked = false;
    }

    bool Read(void* buffer, DWORD length, DWORD* done) override {
        std::lock_guard<std::mutex> guard(state_->lock);
        if (DWORD e = state_->Hit(target_, Op::Read)) return fail(e);
        state_->CheckVanish(number_, target_, Op::Read);
        Drive* d = drive();
        if (!d || !d->spec.medium) return fail(ERROR_NOT_READY);
        ULONGLONG size = capacityOf(d->spec);
        DWORD n = (DWORD)std::min<ULONGLONG>(length, position_ < size ? size - position_ : 0);
        n = state_->ShortLimit(target_, n);
        if (n > 0 && !d->spec.storage->Read(position_, buffer, n)) return fail(ERROR_CRC);
        state_->ApplyFlips(target_, position_, static_cast<BYTE*>(buffer), n);
        position_ += n;
        *done = n;
        return true;
    }
    bool Write(const void* buffer, DWORD length, DWORD* done) override {
        std::lock_guard<std::mutex> guard(state_->lock);
        if (DWORD e = state_->Hit(target_, Op::Write)) return fail(e);
        state_->CheckVanish(number_, target_, Op::Write);
        Drive* d = drive();
        if (!d || !d->spec.medium) return fail(ERROR_NOT_READY);
        ULONGLONG size = capacityOf(d->spec);
        if (position_ >= size && length > 0) return fail(ERROR_SECTOR_NOT_FOUND);
        DWORD n = (DWORD)std::min<ULONGLONG>(length, size - position_);
        if (n > 0 && !d->spec.storage->Write(position_, buffer, n)) return fail(ERROR_WRITE_FAULT);
        position_ += n;
        *done = n;
        return true;
    }
    bool Seek(LONGLONG distance, DWORD method, ULONGLONG* newPosition) override {
        std::lock_guard<std::mutex> guard(state_->lock);
        if (DWORD e = state_->Hit(target_, Op::Seek)) return fail(e);
        Drive* d = drive();
        if (!d || !d->spec.medium) return fail(ERROR_NOT_READY);
        LONGLONG base = method == FILE_BEGIN     ? 0
                        : method == FILE_CURRENT ? (LONGLONG)position_
                                                 : (LONGLONG)capacityOf(d->spec);
        if (method > FILE_END) return fail(ERROR_INVALID_PARAMETER);
        if (base + distance < 0) return fail(ERROR_NEGATIVE_SEEK);
        position_ = (ULONGLONG)(base + distance);
        *newPosition = position_;
        return true;
    }
    bool Flush() override {
        std::lock_guard<std::mutex> guard(state_->lock);
        if (DWORD e = state_->Hit(target_, Op::Flush)) return fail(e);
        return true;
    }
    bool Size(ULONGLONG* size) override {
        std::lock_guard<std::mutex> guard(state_->lock);
        Drive* d = drive();
        if (!d || !d->spec.medium) return fail(ERROR_NOT_READY);
        *size = capacityOf(d->spec);
        return true;
    }
    bool Control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned) override {
        (void)in, (void)inSize;
        std::lock_guard<std::mutex> guard(state_->lock);
        const bool lockCall = code == FSCTL_LOCK_VOLUME;
        if (DWORD e = state_->Hit(target_, lockCall ? Op::Lock : Op::Control)) return fail(e);
        Drive* d = drive();
        if (!d) return fail(ERROR_NOT_READY);
        switch (code) {
            case IOCTL_DISK_GET_DRIVE_GEOMETRY: {
                if (!d->spec.medium) return fail(ERROR_NOT_READY);
                if (outSize < sizeof(DISK_GEOMETRY) || !out) return fail(ERROR_INSUFFICIENT_BUFFER);
                Geometry g = geometryOf(d->spec);
                DISK_GEOMETRY geometry{};
                geometry.Cylinders.QuadPart = g.cylinders;
                geometry.MediaType = d->spec.removable ? RemovableMedia : FixedMedia;
                geometry.TracksPerCylinder = g.tracksPerCylinder;
                geometry.SectorsPerTrack = g.sectorsPerTrack;
                geometry.BytesPerSector = g.bytesPerSector;
                std::memcpy(out, &geometry, sizeof geometry);
                *returned = sizeof geometry;
                return true;
            }
            case IOCTL_DISK_GET_DRIVE_LAYOUT: {
                if (!d->spec.medium) return fail(ERROR_NOT_READY);
                const DWORD needed = offsetof(DRIVE_LAYOUT_INFORMATION, PartitionEntry) +
                                     (DWORD)d->spec.letters.size() * sizeof(PARTITION_INFORMATION);
                if (!out || outSize < needed) return fail(ERROR_INSUFFICIENT_BUFFER);
                std::memset(out, 0, needed);
                auto* layout = static_cast<DRIVE_LAYOUT_INFORMATION*>(out);
                layout->PartitionCount = (DWORD)d->spec.letters.size();
                layout->Signature = signatureOf(d->spec);
                for (size_t i = 0; i < d->spec.letters.size(); ++i) {
                    layout->PartitionEntry[i].PartitionNumber = (DWORD)i + 1;
                    layout->PartitionEntry[i].RecognizedPartition = TRUE;
                }
                *returned = needed;
                return true;
            }
            case FSCTL_LOCK_VOLUME:
                if (d->spec.inUse || (d->locked && !holdsLock_)) return fail(ERROR_ACCESS_DENIED);
                d->locked = holdsLock_ = true;
                return true;
            case FSCTL_UNLOCK_VOLUME:
                if (!holdsLock_) return fail(ERROR_NOT_LOCKED_SIM);
                d->locked = holdsLock_ = false;
                return true;
            case FSCTL_DISMOUNT_VOLUME:
            case IOCTL_STORAGE_MEDIA_REMOVAL:
            case IOCTL_STORAGE_EJECT_MEDIA: return true;
            default: return fail(ERROR_INVALID_FUNCTION);
        }
    }

private:
    static constexpr DWORD ERROR_NOT_LOCKED_SIM = 158;  // ERROR_NOT_LOCKED

    Drive* drive() {
        auto it = state_->drives.find(number_);
        return it == state_->drives.end() ? nullptr : &it->second;
    }

    std::shared_ptr<State> state_;
    int number_;
    std::string target_;
    ULONGLONG position_ = 0;
    bool holdsLock_ = false;
};

// A sparse in-memory file of a memory volume.
class SimMemFile : public FileObject {
public:
    SimMemFile(std::shared_ptr<State> state, char letter, std::string key, std::shared_ptr<Storage> storage)
        : state_(std::move(state)), letter_(letter), key_(std::move(key)), storage_(std::move(storage)) {}
    ~SimMemFile() override {
        std::lock_guard<std::mutex> guard(state_->lock);
        auto& files = state_->memory[letter_].files;
        auto it = files.find(key_);
        if (it != files.end() && it->second.storage == storage_) {
            --it->second.opens;
            it->second.exclusive = false;
        }
    }
    bool Read(void* buffer, DWORD length, DWORD* done) override {
        std::lock_guard<std::mutex> guard(state_->lock);
        ULONGLONG size = storage_->Size();
        DWORD n = (DWORD)std::min<ULONGLONG>(length, position_ < size ? size - position_ : 0);
        storage_->Read(position_, buffer, n);
        position_ += n;
        *done = n;
        return true;
    }
    bool Write(const void* buffer, DWORD length, DWORD* done) override {
        std::lock_guard<std::mutex> guard(state_->lock);
        if (position_ + length > storage_->Size()) storage_->Resize(position_ + length);
        storage_->Write(position_, buffer, length);
        position_ += length;
        *done = length;
        return true;
    }
    bool Seek(LONGLONG distance, DWORD method, ULONGLONG* newPosition) override {
        std::lock_guard<std::mutex> guard(state_->lock);
        LONGLONG base = method == FILE_BEGIN     ? 0
                        : method == FILE_CURRENT ? (LONGLONG)position_
                                                 : (LONGLONG)storage_->Size();
        if (base + distance < 0) return fail(ERROR_NEGATIVE_SEEK);
        position_ = (ULONGLONG)(base + distance);
        *newPosition = position_;
        return true;
    }
    bool Flush() override { return true; }
    bool Size(ULONGLONG* size) override {
        std::lock_guard<std::mutex> guard(state_->lock);
        *size = storage_->Size();
        return true;
    }

private:
    std::shared_ptr<State> state_;
    char letter_;
    std::string key_;
    std::shared_ptr<Storage> storage_;
    ULONGLONG position_ = 0;
};

// Faults, short reads and flips on an image file.
class FaultyFile : public FileObject {
public:
    FaultyFile(std::shared_ptr<State> state, std::string target, std::shared_ptr<FileObject> inner)
        : state_(std::move(state)), target_(std::move(target)), inner_(std::move(inner)) {}

    bool Read(void* buffer, DWORD length, DWORD* done) override {
        DWORD limit = length;
        {
            std::lock_guard<std::mutex> guard(state_->lock);
            if (DWORD e = state_->Hit(target_, Op::Read)) return fail(e);
            limit = state_->ShortLimit(target_, length);
        }
        ULONGLONG at = 0;
        inner_->Seek(0, FILE_CURRENT, &at);
        if (!inner_->Read(buffer, limit, done)) return false;
        std::lock_guard<std::mutex> guard(state_->lock);
        state_->ApplyFlips(target_, at, static_cast<BYTE*>(buffer), *done);
        return true;
    }
    bool Write(const void* buffer, DWORD length, DWORD* done) override {
        if (DWORD e = hit(Op::Write)) return fail(e);
        return inner_->Write(buffer, length, done);
    }
    bool Seek(LONGLONG distance, DWORD method, ULONGLONG* newPosition) override {
        if (DWORD e = hit(Op::Seek)) return fail(e);
        return inner_->Seek(distance, method, newPosition);
    }
    bool Flush() override {
        if (DWORD e = hit(Op::Flush)) return fail(e);
        return inner_->Flush();
    }
    bool Size(ULONGLONG* size) override { return inner_->Size(size); }

private:
    DWORD hit(Op op) {
        std::lock_guard<std::mutex> guard(state_->lock);
        return state_->Hit(target_, op);
    }

    std::shared_ptr<State> state_;
    std::string target_;
    std::shared_ptr<FileObject> inner_;
};

class MemSearch : public FindObject {
public:
    explicit MemSearch(std::vector<WIN32_FIND_DATAA> found) : found_(std::move(found)) {}
    bool Next(WIN32_FIND_DATAA* data) override {
        if (next_ >= found_.size()) return fail(ERROR_NO_MORE_FILES);
        *data = found_[next_++];
        return true;
    }

private:
    std::vector<WIN32_FIND_DATAA> found_;
    size_t next_ = 0;
};

}  // namespace

SimWorld::SimWorld() : state_(std::make_shared<State>()) {}
SimWorld::~SimWorld() = default;

void SimWorld::AddDrive(int number, CardSpec spec) {
    std::lock_guard<std::mutex> guard(state_->lock);
    if (!spec.storage) {
        ULONGLONG size = 0;
        if (spec.geometry)
            size = (ULONGLONG)spec.geometry->cylinders * spec.geometry->tracksPerCylinder *
                   spec.geometry->sectorsPerTrack * spec.geometry->bytesPerSector;
        spec.storage = MemoryStorage(size);
    }
    for (char& c : spec.letters) c = (char)std::toupper((unsigned char)c);
    state_->drives[number] = Drive{std::move(spec), false};
}

void SimWorld::RemoveDrive(int number) {
    std::lock_guard<std::mutex> guard(state_->lock);
    state_->drives.erase(number);
}

void SimWorld::SetMedium(int number, bool present) {
    std::lock_guard<std::mutex> guard(state_->lock);
    state_->drives[number].spec.medium = present;
}

void SimWorld::SetInUse(int number, bool inUse) {
    std::lock_guard<std::mutex> guard(state_->lock);
    state_->drives[number].spec.inUse = inUse;
}

std::shared_ptr<Storage> SimWorld::DriveStorage(int number) {
    std::lock_guard<std::mutex> guard(state_->lock);
    auto it = state_->drives.find(number);
    return it == state_->drives.end() ? nullptr : it->second.spec.storage;
}

bool SimWorld::DriveLocked(int number) {
    std::lock_guard<std::mutex> guard(state_->lock);
    auto it = state_->drives.find(number);
    return it != state_->drives.end() && it->second.locked;
}

void SimWorld::MapFolder(char letter, const std::string& hostFolder) {
    std::lock_guard<std::mutex> guard(state_->lock);
    state_->folders[(char)std::toupper((unsigned char)letter)] = hostFolder;
}

void SimWorld::MapMemoryVolume(char letter, ULONGLONG freeBytes) {
    std::lock_guard<std::mutex> guard(state_->lock);
    state_->memory[(char)std::toupper((unsigned char)letter)].freeBytes = freeBytes;
}

void SimWorld::SetFreeSpace(char letter, ULONGLONG freeBytes) {
    std::lock_guard<std::mutex> guard(state_->lock);
    state_->freeSpace[(char)std::toupper((unsigned char)letter)] = freeBytes;
}

std::shared_ptr<Storage> SimWorld::MemoryFile(const std::string& dosPath) {
    char letter = 0;
    std::string rest;
    if (!ParseDosPath(dosPath, &letter, &rest)) return nullptr;
    std::lock_guard<std::mutex> guard(state_->lock);
    auto v = state_->memory.find(letter);
    if (v == state_->memory.end()) return nullptr;
    auto f = v->second.files.find(rest);
    return f == v->second.files.end() ? nullptr : f->second.storage;
}

void SimWorld::AddFault(Fault fault) {
    std::lock_guard<std::mutex> guard(state_->lock);
    state_->faults.push_back(std::move(fault));
}

void SimWorld::AddShortRead(ShortRead shortRead) {
    std::lock_guard<std::mutex> guard(state_->lock);
    state_->shortReads.push_back(std::move(shortRead));
}

void SimWorld::AddFlip(FlipOnRead flip) {
    std::lock_guard<std::mutex> guard(state_->lock);
    state_->flips.push_back(std::move(flip));
    state_->flipCounts.push_back(0);
}

void SimWorld::VanishAt(int number, Op op, int atCall) {
    std::lock_guard<std::mutex> guard(state_->lock);
    state_->vanishes.push_back({number, op, atCall});
}

void SimWorld::AtCall(std::string target, Op op, int atCall, std::function<void()> action) {
    std::lock_guard<std::mutex> guard(state_->lock);
    state_->actions.push_back({std::move(target), op, atCall, std::move(action)});
}

std::vector<std::string> SimWorld::Opens() {
    std::lock_guard<std::mutex> guard(state_->lock);
    return state_->opens;
}

int SimWorld::Calls(const std::string& target, Op op) {
    std::lock_guard<std::mutex> guard(state_->lock);
    return state_->Count(target, op);
}

std::shared_ptr<FileObject> SimWorld::CreateFile(const std::string& path, DWORD access, DWORD share,
                                                 DWORD creation, DWORD) {
    std::unique_lock<std::mutex> guard(state_->lock);
    state_->opens.push_back(path);
    if (DWORD e = state_->Hit(path, Op::Open)) {
        SetLastError(e);
        return nullptr;
    }
    DevicePath device = ParseDevicePath(path);
    if (device.kind == DevicePath::PhysicalDrive) {
        if (!state_->drives.count(device.number)) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return nullptr;
        }
        return std::make_shared<SimDisk>(state_, device.number, path);
    }
    if (device.kind == DevicePath::Volume) {
        for (auto& [number, drive] : state_->drives)
            for (char letter : drive.spec.letters)
                if (letter == device.letter) return std::make_shared<SimDisk>(state_, number, path);
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }

    char letter = 0;
    std::string rest;
    std::string host = path;
    if (ParseDosPath(path, &letter, &rest)) {
        auto mem = state_->memory.find(letter);
        if (mem != state_->memory.end()) {
            auto& files = mem->second.files;
            auto it = files.find(rest);
            bool exists = it != files.end();
            if (!exists && (creation == OPEN_EXISTING || creation == TRUNCATE_EXISTING)) {
                SetLastError(ERROR_FILE_NOT_FOUND);
                return nullptr;
            }
            if (exists && creation == CREATE_NEW) {
                SetLastError(ERROR_FILE_EXISTS);
                return nullptr;
            }
            if (!exists) it = files.emplace(rest, MemFile{MemoryStorage(0), 0, false}).first;
            MemFile& file = it->second;
            if (file.exclusive || (share == 0 && file.opens > 0)) {
                SetLastError(ERROR_SHARING_VIOLATION);
                return nullptr;
            }
            if (creation == CREATE_ALWAYS || creation == TRUNCATE_EXISTING) file.storage->Resize(0);
            ++file.opens;
            file.exclusive = share == 0;
            std::shared_ptr<FileObject> object = std::make_shared<SimMemFile>(state_, letter, rest, file.storage);
            SetLastError(exists && creation == CREATE_ALWAYS ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
            return std::make_shared<FaultyFile>(state_, path, object);
        }
        auto folder = state_->folders.find(letter);
        if (folder == state_->folders.end()) {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return nullptr;
        }
        host = folder->second + "/" + rest;
    }
    guard.unlock();
    auto file = posix::OpenRegularFile(host, access, share, creation);
    if (!file) return nullptr;
    DWORD error = GetLastError();
    auto wrapped = std::make_shared<FaultyFile>(state_, path, std::move(file));
    SetLastError(error);
    return wrapped;
}

namespace {

// Where a DOS or POSIX path lives: a host path, or a memory volume entry.
struct Place {
    enum { Host, Memory, Nowhere } kind = Nowhere;
    std::string host;
    char letter = 0;
    std::string key;
};

Place placeOf(State& state, const std::string& path) {
    Place place;
    char letter = 0;
    std::string rest;
    if (!ParseDosPath(path, &letter, &rest)) {
        place.kind = Place::Host;
        place.host = path;
        return place;
    }
    if (state.memory.count(letter)) {
        place.kind = Place::Memory;
        place.letter = letter;
        place.key = rest;
        return place;
    }
    auto folder = state.folders.find(letter);
    if (folder != state.folders.end()) {
        place.kind = Place::Host;
        place.host = folder->second + "/" + rest;
    }
    return place;
}

WIN32_FIND_DATAA describeMem(const std::string& key, const MemFile& file) {
    WIN32_FIND_DATAA data{};
    data.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
    ULONGLONG size = file.storage->Size();
    data.nFileSizeHigh = (DWORD)(size >> 32);
    data.nFileSizeLow = (DWORD)size;
    std::string name = key.substr(key.find_last_of('/') == std::string::npos ? 0 : key.find_last_of('/') + 1);
    std::strncpy(data.cFileName, name.c_str(), MAX_PATH - 1);
    return data;
}

}  // namespace

bool SimWorld::DeleteFile(const std::string& path) {
    std::unique_lock<std::mutex> guard(state_->lock);
    Place place = placeOf(*state_, path);
    if (place.kind == Place::Memory) {
        auto& files = state_->memory[place.letter].files;
        auto it = files.find(place.key);
        if (it == files.end()) return fail(ERROR_FILE_NOT_FOUND);
        if (it->second.opens > 0) return fail(ERROR_SHARING_VIOLATION);
        files.erase(it);
        return true;
    }
    if (place.kind == Place::Nowhere) return fail(ERROR_PATH_NOT_FOUND);
    guard.unlock();
    return posix::DeleteRegularFile(place.host);
}

bool SimWorld::GetFileAttributes(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA* data) {
    std::unique_lock<std::mutex> guard(state_->lock);
    Place place = placeOf(*state_, path);
    if (place.kind == Place::Memory) {
        auto& files = state_->memory[place.letter].files;
        auto it = files.find(place.key);
        if (it == files.end()) return fail(ERROR_FILE_NOT_FOUND);
        WIN32_FIND_DATAA found = describeMem(place.key, it->second);
        std::memset(data, 0, sizeof *data);
        data->dwFileAttributes = found.dwFileAttributes;
        data->nFileSizeHigh = found.nFileSizeHigh;
        data->nFileSizeLow = found.nFileSizeLow;
        return true;
    }
    if (place.kind == Place::Nowhere) return fail(ERROR_PATH_NOT_FOUND);
    guard.unlock();
    return posix::Attributes(place.host, data);
}

std::shared_ptr<FindObject> SimWorld::FindFirst(const std::string& pattern, WIN32_FIND_DATAA* data) {
    std::unique_lock<std::mutex> guard(state_->lock);
    Place place = placeOf(*state_, pattern);
    if (place.kind == Place::Memory) {
        std::vector<WIN32_FIND_DATAA> found;
        for (auto& [key, file] : state_->memory[place.letter].files)
            if (::fnmatch(place.key.c_str(), key.c_str(), FNM_PATHNAME) == 0) found.push_back(describeMem(key, file));
        if (found.empty()) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return nullptr;
        }
        auto search = std::make_shared<MemSearch>(std::move(found));
        search->Next(data);
        return search;
    }
    if (place.kind == Place::Nowhere) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return nullptr;
    }
    guard.unlock();
    return posix::FindFirst(place.host, data);
}

DWORD SimWorld::GetLogicalDrives() {
    std::lock_guard<std::mutex> guard(state_->lock);
    DWORD mask = 0;
    auto add = [&](char letter) {
        if (letter >= 'A' && letter <= 'Z') mask |= 1u << (letter - 'A');
    };
    for (auto& [number, drive] : state_->drives)
        for (char letter : drive.spec.letters) add(letter);
    for (auto& [letter, folder] : state_->folders) add(letter);
    for (auto& [letter, volume] : state_->memory) add(letter);
    return mask;
}

bool SimWorld::GetDiskFreeSpace(const std::string& root, ULONGLONG* callerFree, ULONGLONG* total,
                                ULONGLONG* totalFree) {
    std::unique_lock<std::mutex> guard(state_->lock);
    char letter = 0;
    std::string rest;
    if (ParseDosPath(root, &letter, &rest)) {
        auto set = state_->freeSpace.find(letter);
        auto mem = state_->memory.find(letter);
        if (set != state_->freeSpace.end() || mem != state_->memory.end()) {
            ULONGLONG bytes = set != state_->freeSpace.end() ? set->second : mem->second.freeBytes;
            *callerFree = *totalFree = bytes;
            *total = bytes;
            return true;
        }
        auto folder = state_->folders.find(letter);
        if (folder == state_->folders.end()) return fail(ERROR_PATH_NOT_FOUND);
        std::string host = folder->second;
        guard.unlock();
        return posix::FreeSpace(host, callerFree, total, totalFree);
    }
    guard.unlock();
    return posix::FreeSpace(root, callerFree, total, totalFree);
}

}  // namespace platform::sim
