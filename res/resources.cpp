// Hands the compiled-in resources to the platform layer.
#include "res/resources.h"

#include "platform/resources.h"
#include "res/artwork_files.h"
#include "res/embedded.h"
#include "framework/images.h"
#include "res/strings.h"
#include "res/templates.h"
#include "res/version.h"

#include <cstring>
#include <deque>
#include <vector>

namespace {

const LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT);
const LANGID kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

// Resource data that is made here rather than taken as it is embedded. A
// deque never moves what it already holds, and the copies are aligned as
// the linker would align a resource.
std::deque<std::vector<BYTE>> g_made;

const std::vector<BYTE>& keep(std::vector<BYTE> bytes) { return g_made.emplace_back(std::move(bytes)); }

void add(std::vector<platform::ResourceEntry>& entries, LPCSTR type, WORD id, const std::vector<BYTE>& data) {
    entries.push_back({type, id, kEnglish, data.data(), (DWORD)data.size()});
}

void put16(std::vector<BYTE>& v, unsigned x) {
    v.push_back((BYTE)(x & 0xFF));
    v.push_back((BYTE)(x >> 8 & 0xFF));
}

// As a resource compiler does with an .ico file: each image becomes an
// RT_ICON of its own, numbered from 1 in order, and the icon's id names an
// RT_GROUP_ICON directory that lists them.
void addIcon(std::vector<platform::ResourceEntry>& entries, WORD id, const EmbeddedFile& file, WORD* nextImage) {
    std::vector<IconDirEntry> images;
    if (!ReadIcoDirectory(file.data, file.size, &images)) return;
    std::vector<BYTE> group;
    put16(group, 0);
    put16(group, 1);
    put16(group, (unsigned)images.size());
    for (const IconDirEntry& image : images) {
        WORD imageId = (*nextImage)++;
        const BYTE* dib = file.data + image.offset;
        add(entries, RT_ICON, imageId, keep(std::vector<BYTE>(dib, dib + image.bytes)));
        // The file's directory entry, with the image's id in place of its offset.
        const BYTE* e = file.data + 6 + 16 * (&image - images.data());
        group.insert(group.end(), e, e + 12);
        put16(group, imageId);
    }
    add(entries, RT_GROUP_ICON, id, keep(std::move(group)));
}

}  // namespace

void InstallResources() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    static std::vector<platform::ResourceEntry> entries;
    for (unsigned i = 0; i < g_stringTableSize; ++i) {
        const StringTableEntry& s = g_stringTable[i];
        entries.push_back({RT_STRING, (WORD)s.id, kEnglish, reinterpret_cast<const BYTE*>(s.english),
                           (DWORD)std::strlen(s.english)});
        entries.push_back({RT_STRING, (WORD)s.id, kJapanese, reinterpret_cast<const BYTE*>(s.japanese),
                           (DWORD)std::strlen(s.japanese)});
    }

    add(entries, RT_VERSION, VS_VERSION_INFO, keep(BuildVersionResource(g_versionInfo)));
    // The framework builds its dialogs from these records.
    for (const DialogTemplate* t : {&g_mainDialog, &g_aboutDialog})
        entries.push_back({RT_DIALOG, t->id, kEnglish, reinterpret_cast<const BYTE*>(t), (DWORD)sizeof *t});

    WORD nextImage = 1;
    for (const ArtworkFile& art : kArtworkFiles) {
        const EmbeddedFile* file = FindEmbeddedFile(art.name);
        if (!file) continue;  // the lookup of the id fails, as for any missing resource
        switch (art.kind) {
        case ArtKind::Icon:
            addIcon(entries, art.id, *file, &nextImage);
            break;
        case ArtKind::Bitmap:
            // RT_BITMAP holds the bitmap without its 14-byte file header.
            if (file->size > 14) add(entries, RT_BITMAP, art.id, keep(std::vector<BYTE>(file->data + 14, file->data + file->size)));
            break;
        case ArtKind::Clip:
            entries.push_back({"AVI", art.id, kEnglish, file->data, (DWORD)file->size});
            break;
        }
    }
    platform::RegisterResources(entries.data(), entries.size());
}
