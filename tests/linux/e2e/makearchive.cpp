// kestrin-e2e-archive OUT.MEG NAME FILE [NAME FILE]...: writes an archive whose entry NAME holds the
// bytes of FILE, for flows that need entries the demo archive does not have.
#include "writers/megwriter.h"

#include <cstdio>
#include <fstream>
#include <sstream>

int main(int argc, char** argv) {
    if (argc < 4 || argc % 2 != 0) {
        std::fprintf(stderr, "usage: kestrin-e2e-archive OUT.MEG NAME FILE [NAME FILE]...\n");
        return 2;
    }
    MegWriter archive;
    for (int i = 2; i + 1 < argc; i += 2) {
        std::ifstream in(argv[i + 1], std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        if (!in) {
            std::fprintf(stderr, "kestrin-e2e-archive: cannot read %s\n", argv[i + 1]);
            return 1;
        }
        archive.add(argv[i], bytes.str());
    }
    if (!archive.write(argv[1])) {
        std::fprintf(stderr, "kestrin-e2e-archive: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
