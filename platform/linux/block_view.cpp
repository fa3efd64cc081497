#include "platform/linux/block_view.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace platform::blockdev {
namespace {

bool exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

bool readLine(const std::string& path, std::string* line) {
    std::ifstream in(path);
    if (!in || !std::getline(in, *line)) return false;
    while (!line->empty() && std::isspace(static_cast<unsigned char>(line->back()))) line->pop_back();
    return true;
}

bool readNumber(const std::string& path, uint64_t* value) {
    std::string line;
    if (!readLine(path, &line) || line.empty()) return false;
    char* end = nullptr;
    unsigned long long v = std::strtoull(line.c_str(), &end, 10);
    if (*end != 0) return false;
    *value = v;
    return true;
}

// sysfs "dev" reads "major:minor".
dev_t readDev(const std::string& path) {
    std::string line;
    unsigned major = 0, minor = 0;
    char tail = 0;
    if (!readLine(path, &line) || std::sscanf(line.c_str(), "%u:%u%c", &major, &minor, &tail) != 2) return 0;
    return makedev(major, minor);
}

std::vector<std::string> listFolder(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(path.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(dir);
    }
    return names;
}

// The kernel writes space, tab, newline and backslash in these tables as
// octal escapes.
std::string unescape(const std::string& field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() &&
            std::isdigit(static_cast<unsigned char>(field[i + 1])) &&
            std::isdigit(static_cast<unsigned char>(field[i + 2])) &&
            std::isdigit(static_cast<unsigned char>(field[i + 3]))) {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

std::vector<std::vector<std::string>> readTable(const std::string& path, size_t skipLines) {
    std::vector<std::vector<std::string>> rows;
    std::ifstream in(path);
    std::string line;
    for (size_t n = 0; std::getline(in, line); ++n) {
        if (n < skipLines) continue;
        std::istringstream fields(line);
        std::vector<std::string> row;
        for (std::string field; fields >> field;) row.push_back(unescape(field));
        if (!row.empty()) rows.push_back(std::move(row));
    }
    return rows;
}

Node readNode(const std::string& sysDir, const std::string& name) {
    Node node;
    node.name = name;
    node.sysDir = sysDir;
    node.dev = readDev(sysDir + "/dev");
    uint64_t value = 0;
    if (readNumber(sysDir + "/partition", &value)) node.partition = static_cast<unsigned>(value);
    if (node.partition != 0) {
        readNumber(sysDir + "/start", &node.start512);
        readNumber(sysDir + "/size", &node.size512);
    }
    return node;
}

}  // namespace

bool NaturalLess(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        bool da = std::isdigit(static_cast<unsigned char>(a[i])), db = std::isdigit(static_cast<unsigned char>(b[j]));
        size_t ei = i, ej = j;
        while (ei < a.size() && (std::isdigit(static_cast<unsigned char>(a[ei])) != 0) == da) ++ei;
        while (ej < b.size() && (std::isdigit(static_cast<unsigned char>(b[ej])) != 0) == db) ++ej;
        std::string ra = a.substr(i, ei - i), rb = b.substr(j, ej - j);
        if (da && db) {
            // Leading zeros do not count; then the longer run is the larger number.
            ra.erase(0, std::min(ra.find_first_not_of('0'), ra.size()));
            rb.erase(0, std::min(rb.find_first_not_of('0'), rb.size()));
            if (ra.size() != rb.size()) return ra.size() < rb.size();
        }
        if (ra != rb) return ra < rb;
        i = ei;
        j = ej;
    }
    if ((i < a.size()) != (j < b.size())) return i >= a.size();
    return a < b;  // equal up to leading zeros: still one fixed order
}

bool IsVirtualName(const std::string& name) {
    static const char* const kPrefixes[] = {"loop", "ram", "zram", "dm-", "md"};
    for (const char* prefix : kPrefixes)
        if (name.rfind(prefix, 0) == 0) return true;
    return false;
}

BlockView BlockView::Scan(const LinuxRoots& roots) {
    BlockView view;
    view.roots_ = roots;
    for (const std::string& name : listFolder(roots.sysBlock)) {
        if (name[0] == '.' || IsVirtualName(name)) continue;
        std::string sysDir = roots.sysBlock + "/" + name;
        // Only real hardware has a device behind it.
        if (!exists(sysDir + "/device")) continue;
        Disk disk;
        disk.node = readNode(sysDir, name);
        disk.node.partition = 0;
        uint64_t removable = 0;
        disk.removableFlag = readNumber(sysDir + "/removable", &removable) && removable == 1;
        for (const std::string& child : listFolder(sysDir)) {
            std::string childDir = sysDir + "/" + child;
            if (!exists(childDir + "/partition")) continue;
            Node part = readNode(childDir, child);
            if (part.partition != 0) disk.partitions.push_back(part);
        }
        std::sort(disk.partitions.begin(), disk.partitions.end(),
                  [](const Node& x, const Node& y) { return x.partition < y.partition; });
        view.disks_.push_back(std::move(disk));
    }
    std::sort(view.disks_.begin(), view.disks_.end(),
              [](const Disk& x, const Disk& y) { return NaturalLess(x.node.name, y.node.name); });

    for (auto& row : readTable(roots.mountTable, 0)) {
        if (row.size() < 2) continue;
        view.mounts_.push_back(Mount{view.resolve(row[0], row[1]), row[1]});
    }
    for (auto& row : readTable(roots.swapTable, 1)) view.swaps_.push_back(view.resolve(row[0], ""));
    return view;
}

BlockView::Source BlockView::resolve(const std::string& path, const std::string& mountPoint) const {
    Source source;
    source.path = path;
    if (path.empty() || path[0] != '/') return source;  // proc, tmpfs, server:/share, ...
    char buffer[PATH_MAX];
    if (::realpath(path.c_str(), buffer)) source.canonical = buffer;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISBLK(st.st_mode)) source.blockDev = st.st_rdev;
        if (S_ISREG(st.st_mode)) source.fileDev = st.st_dev;
    } else if (path.rfind("/dev/", 0) == 0 && !mountPoint.empty() && ::stat(mountPoint.c_str(), &st) == 0) {
        // "/dev/root" and the like name no node: the mounted file system says
        // which device it lives on.
        source.blockDev = st.st_dev;
    }
    return source;
}

std::string BlockView::NodePath(const Node& node) const { return roots_.dev + "/" + node.name; }

bool BlockView::matches(const Source& source, const Node& node, bool fileCounts) const {
    if (node.dev != 0 && source.blockDev == node.dev) return true;
    if (fileCounts && node.dev != 0 && source.fileDev == node.dev) return true;
    std::string path = NodePath(node);
    if (source.path == path) return true;
    if (source.canonical.empty()) return false;
    char buffer[PATH_MAX];
    return ::realpath(path.c_str(), buffer) && source.canonical == buffer;
}

std::string BlockView::MountPointOf(const Node& node) const {
    for (const Mount& mount : mounts_)
        if (matches(mount.source, node, false)) return mount.mountPoint;
    return {};
}

bool BlockView::InSwap(const Node& node) const {
    for (const Source& swap : swaps_)
        if (matches(swap, node, true)) return true;
    return false;
}

bool BlockView::HasHolders(const Node& node) const { return !listFolder(node.sysDir + "/holders").empty(); }

bool BlockView::InUse(const Node& node, std::string* why) const {
    std::string mountPoint = MountPointOf(node);
    if (!mountPoint.empty()) {
        if (why) *why = node.name + " is mounted at " + mountPoint;
        return true;
    }
    if (InSwap(node)) {
        if (why) *why = node.name + " is used as swap";
        return true;
    }
    if (HasHolders(node)) {
        if (why) *why = node.name + " is held by another device";
        return true;
    }
    return false;
}

bool BlockView::DiskInUse(const Disk& disk, std::string* why) const {
    if (InUse(disk.node, why)) return true;
    for (const Node& part : disk.partitions)
        if (InUse(part, why)) return true;
    return false;
}

bool BlockView::HoldsRootOrSwap(const Disk& disk) const {
    for (const Mount& mount : mounts_) {
        if (mount.mountPoint != "/") continue;
        int holder = diskOfSource(mount.source);
        if (holder >= 0 && disks_[static_cast<size_t>(holder)].node.name == disk.node.name) return true;
    }
    for (const Source& swap : swaps_) {
        int holder = diskOfSource(swap);
        if (holder >= 0 && disks_[static_cast<size_t>(holder)].node.name == disk.node.name) return true;
    }
    return false;
}

// The physical drive under a device name: the drive itself, the drive of a
// partition, or, for a mapper or RAID device, the drive under its first
// underlying device.
int BlockView::diskOfName(const std::string& name, int depth) const {
    for (size_t i = 0; i < disks_.size(); ++i) {
        if (disks_[i].node.name == name) return static_cast<int>(i);
        for (const Node& part : disks_[i].partitions)
            if (part.name == name) return static_cast<int>(i);
    }
    if (depth > 8) return -1;
    std::vector<std::string> slaves = listFolder(roots_.sysBlock + "/" + name + "/slaves");
    std::sort(slaves.begin(), slaves.end(), NaturalLess);
    for (const std::string& slave : slaves) {
        int disk = diskOfName(slave, depth + 1);
        if (disk >= 0) return disk;
    }
    return -1;
}

int BlockView::diskOfSource(const Source& source) const {
    for (size_t i = 0; i < disks_.size(); ++i) {
        if (matches(source, disks_[i].node, true)) return static_cast<int>(i);
        for (const Node& part : disks_[i].partitions)
            if (matches(source, part, true)) return static_cast<int>(i);
    }
    if (source.blockDev == 0) return -1;
    for (const std::string& name : listFolder(roots_.sysBlock))
        if (readDev(roots_.sysBlock + "/" + name + "/dev") == source.blockDev) return diskOfName(name, 0);
    return -1;
}

std::vector<Volume> BlockView::Volumes() const {
    std::vector<Volume> volumes;
    const Mount* root = nullptr;
    for (const Mount& mount : mounts_)
        if (mount.mountPoint == "/") root = &mount;  // the last one is on top
    const Node* rootNode = nullptr;
    if (root) {
        Volume c;
        c.letter = 'C';
        c.mountPoint = "/";
        for (size_t i = 0; i < disks_.size() && !rootNode; ++i) {
            if (matches(root->source, disks_[i].node, false)) rootNode = &disks_[i].node;
            for (const Node& part : disks_[i].partitions)
                if (!rootNode && matches(root->source, part, false)) rootNode = &part;
            if (rootNode) {
                c.disk = static_cast<int>(i);
                c.partition = rootNode->partition;
                c.nodeName = rootNode->name;
                c.nodePath = NodePath(*rootNode);
                c.dev = rootNode->dev;
            }
        }
        if (!rootNode) {
            c.disk = diskOfSource(root->source);
            if (root->source.blockDev != 0 && !root->source.canonical.empty()) {
                c.nodePath = root->source.path;
                c.dev = root->source.blockDev;
            }
        }
        volumes.push_back(c);
    }
    char letter = 'D';
    auto add = [&](size_t disk, const Node& node) {
        if (&node == rootNode || letter > 'Z') return;
        Volume v;
        v.letter = letter++;
        v.disk = static_cast<int>(disk);
        v.partition = node.partition;
        v.nodeName = node.name;
        v.nodePath = NodePath(node);
        v.dev = node.dev;
        v.mountPoint = MountPointOf(node);
        volumes.push_back(v);
    };
    for (size_t i = 0; i < disks_.size(); ++i) {
        if (disks_[i].partitions.empty()) add(i, disks_[i].node);
        for (const Node& part : disks_[i].partitions) add(i, part);
    }
    return volumes;
}

}  // namespace platform::blockdev
