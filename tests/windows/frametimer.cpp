// kestrin-frame-timer DATAFOLDER MODEL WIDTH HEIGHT FRAMES: draws a model (a path in the data
// folder, every mesh shown, the starting camera) with the Engine on the real Direct3D 9 stack,
// FRAMES times, each frame read back, and prints "seconds-per-frame S". The host benchmark of the
// native renderer runs it under Wine as its baseline.

#include "main/exception.h"
#include "windows/realgraphics.h"

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
    const int frames = argc == 6 ? std::atoi(argv[5]) : 0;
    if (frames <= 0 || std::atoi(argv[3]) <= 0 || std::atoi(argv[4]) <= 0) {
        std::fprintf(stderr,
                     "usage: kestrin-frame-timer DATAFOLDER MODEL WIDTH HEIGHT FRAMES (all above 0)\n");
        return 2;
    }
    try {
        EngineOnWindow view(argv[1], std::atoi(argv[3]), std::atoi(argv[4]));
        view.show(argv[2]);
        FrameCapture capture(view.device());
        view.engine.render(); // buffers, effects and textures are made before timing
        capture.read();
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < frames; ++i) {
            view.engine.render();
            capture.read();
        }
        const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
        std::printf("seconds-per-frame %.9f\n", seconds.count() / frames);
    } catch (const Exception& e) {
        std::fprintf(stderr, "kestrin-frame-timer: %s\n", e.getMessage().c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kestrin-frame-timer: %s\n", e.what());
        return 1;
    }
    return 0;
}
