// corvane-artgen: draws the program's icons, bitmaps and clips and writes
// them into a folder (res/art), or with --check compares that folder with
// what the drawings give now.
#include "artwork/pictures.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace {

bool readFile(const std::string& path, std::vector<BYTE>* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool writeFile(const std::string& path, const std::vector<BYTE>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
    return (bool)out;
}

}  // namespace

int main(int argc, char** argv) {
    bool check = argc == 3 && std::strcmp(argv[1], "--check") == 0;
    if (argc != 2 && !check) {
        std::fprintf(stderr, "usage: %s FOLDER | --check FOLDER\n", argv[0]);
        return 2;
    }
    std::string folder = argv[argc - 1];
    int failures = 0;
    for (const ArtworkFile& file : kArtworkFiles) {
        std::vector<BYTE> made = art::BuildArtworkFile(file);
        std::string path = folder + "/" + file.name;
        if (check) {
            std::vector<BYTE> kept;
            if (!readFile(path, &kept)) {
                std::fprintf(stderr, "%s: missing\n", path.c_str());
                ++failures;
            } else if (kept != made) {
                std::fprintf(stderr, "%s: differs from the drawing (%zu bytes kept, %zu drawn)\n", path.c_str(),
                             kept.size(), made.size());
                ++failures;
            }
        } else if (!writeFile(path, made)) {
            std::fprintf(stderr, "%s: cannot write\n", path.c_str());
            ++failures;
        } else {
            std::printf("%s: %zu bytes\n", path.c_str(), made.size());
        }
    }
    return failures ? 1 : 0;
}
