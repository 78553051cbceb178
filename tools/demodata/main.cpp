#include "demodata/demodata.h"

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: kestrin-demodata OUTDIR\n";
        return 2;
    }
    std::string error;
    if (!writeDemoData(argv[1], error)) {
        std::cerr << "kestrin-demodata: " << error << '\n';
        return 1;
    }
    return 0;
}
