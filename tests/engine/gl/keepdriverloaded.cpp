// Mesa unloads its OpenGL driver when the last EGL display is terminated. What the driver keeps
// for the whole process is then referenced from nowhere LeakSanitizer can see, and reported as
// leaked at exit, from a library it can no longer name. This test program loads the driver for
// good before any test runs, so that the sanitizer build reports what the program leaks and
// nothing else.

#include "engine/gl/eglsurface.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <link.h>

#include <string>

namespace {

class KeepDriverLoaded : public ::testing::Environment {
public:
    void SetUp() override {
        const EglSurface surface(1, 1);
        dl_iterate_phdr(keep, nullptr);
    }

private:
    // Marks a loaded driver (Mesa's DRI drivers and the gallium library behind them) never to be
    // unloaded; the handle is never closed either.
    static int keep(dl_phdr_info* info, std::size_t, void*) {
        const std::string name = info->dlpi_name != nullptr ? info->dlpi_name : "";
        if (name.find("_dri.so") != std::string::npos || name.find("libgallium") != std::string::npos) {
            dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
        }
        return 0;
    }
};

::testing::Environment* const kKeepDriverLoaded = ::testing::AddGlobalTestEnvironment(new KeepDriverLoaded);

} // namespace
