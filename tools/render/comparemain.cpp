// kestrin-compare-pictures REFERENCE.png OTHER.png DIFFERENCE.png: compares two pictures of a model,
// prints one line (the share of pixels within 8/255 in every channel, the largest difference and
// the pixels lit in each), writes the differences to DIFFERENCE.png, and exits with 0 when they agree,
// 1 when they do not, 2 when a picture cannot be read or written or the sizes differ.

#include "render/picturecomparison.h"
#include "render/pngreader.h"
#include "render/pngwriter.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: kestrin-compare-pictures REFERENCE.png OTHER.png DIFFERENCE.png\n");
        return 2;
    }
    int size[2][2] = {};
    std::vector<std::uint8_t> pictures[2];
    std::string error;
    for (int i = 0; i < 2; ++i) {
        if (!PngReader::read(argv[1 + i], size[i][0], size[i][1], pictures[i], error)) {
            std::fprintf(stderr, "kestrin-compare-pictures: %s\n", error.c_str());
            return 2;
        }
    }
    if (size[0][0] != size[1][0] || size[0][1] != size[1][1]) {
        std::fprintf(stderr, "kestrin-compare-pictures: the pictures are %dx%d and %dx%d\n", size[0][0],
                     size[0][1], size[1][0], size[1][1]);
        return 2;
    }
    const PictureComparison comparison(pictures[0], pictures[1]);
    std::printf("%7.3f%% within 8/255, largest difference %3d, lit %zu and %zu: %s\n",
                comparison.share() * 100, comparison.largest(), comparison.lit(), comparison.otherLit(),
                comparison.agrees() ? "agrees" : "DIFFERS");
    if (!PngWriter::write(argv[3], size[0][0], size[0][1], comparison.difference(), error)) {
        std::fprintf(stderr, "kestrin-compare-pictures: %s\n", error.c_str());
        return 2;
    }
    return comparison.agrees() ? 0 : 1;
}
