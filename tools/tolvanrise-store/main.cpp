// tolvanrise-store: writes a bitmap set ("bmst.bin" and "bmdt%d.bin") from a manifest of
// source pictures, or draws the sample pictures of the first store.
//
//   tolvanrise-store <manifest.txt>... <output folder>   (records of later manifests follow)
//   tolvanrise-store --generate <picture folder>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/tolvanrise-store/generator.h"
#include "tools/tolvanrise-store/manifest.h"

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--generate") == 0) {
        std::string error;
        if (!packer::GenerateSamplePictures(argv[2], error)) {
            std::fprintf(stderr, "tolvanrise-store: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }
    if (argc < 3 || argv[1][0] == '-') {
        std::fprintf(stderr,
                     "usage: tolvanrise-store <manifest.txt>... <output folder>\n"
                     "       tolvanrise-store --generate <picture folder>\n");
        return 2;
    }
    std::string error;
    const std::vector<std::string> manifests(argv + 1, argv + argc - 1);
    const int32_t files = packer::PackManifest(manifests, argv[argc - 1], error);
    if (files < 0) {
        std::fprintf(stderr, "tolvanrise-store: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
