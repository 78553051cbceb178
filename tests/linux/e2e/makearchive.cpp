// kestrin-e2e-archive OUT.MEG NAME FILE [NAME FILE]...: writes an archive whose entry NAME holds the
// bytes of FILE, for flows that need entries the demo archive does not have.
#include "writers/megwriter.h"

#include <fstream>
#include <sstream>

int main(int argc, char** argv) {
    MegWriter archive;
    for (int i = 2; i + 1 < argc; i += 2) {
        std::ifstream in(argv[i + 1], std::ios::binary);
        std::ostringstream bytes;
        if (!(bytes << in.rdbuf())) {
            return 1;
        }
        archive.add(argv[i], bytes.str());
    }
    return argc >= 4 && argc % 2 == 0 && archive.write(argv[1]) ? 0 : 1;
}
