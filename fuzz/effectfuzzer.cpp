// Fuzz target: one compiled effect file (.FXO), read by the native renderer's effect reader, the
// check every effect passes before the shader library sees it.
//
// The input is read straight from memory. Refusing it is a normal outcome; the process stops when
// the reader refuses without a reason, or accepts a file that breaks a promise the renderer
// relies on: values of the size their types declare, object ids below the object count, every
// resource's bytes inside the file.

#include "engine/gl/effectfile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr std::uint32_t kClassObject = 4;
constexpr std::uint32_t kClassStruct = 5;
constexpr std::uint32_t kTypeSampler = 10;
constexpr std::uint32_t kTypeSamplerCube = 14;

void expect(bool holds, const char* promise) {
    if (!holds) {
        std::fprintf(stderr, "broken EffectFile promise: %s\n", promise);
        std::abort();
    }
}

void checkValue(const EffectFile::Type& type, const std::vector<std::uint32_t>& value,
                std::uint32_t objects) {
    const std::uint64_t elements = type.elements == 0 ? 1 : type.elements;
    if (type.klass == kClassObject) {
        expect(value.size() == elements, "an object value holds one id per element");
        for (const std::uint32_t id : value) {
            expect(id < objects, "object ids lie below the object count");
        }
    } else if (type.klass != kClassStruct) {
        expect(value.size() == elements * type.rows * type.columns, "a numeric value holds its components");
        expect(type.rows <= 4 && type.columns <= 4, "numbers are at most 4 x 4");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    EffectFile file;
    std::string error;
    if (!EffectFile::read(data, size, file, error)) {
        expect(!error.empty(), "a refusal gives its reason");
        return 0;
    }
    // Each parameter, technique, pass and state takes at least one record of the file.
    expect(file.parameters.size() <= size / 16 && file.techniques.size() <= size / 12, "counts fit the file");
    for (const EffectFile::Parameter& p : file.parameters) {
        expect(!p.type.name.empty(), "parameters are named");
        // A sampler's value is its states.
        if (p.type.klass == kClassObject && p.type.type >= kTypeSampler && p.type.type <= kTypeSamplerCube) {
            expect(p.value.empty(), "a sampler holds states, not a value");
        } else {
            expect(p.samplerStates.empty(), "only samplers hold states");
            checkValue(p.type, p.value, file.objectCount);
        }
        for (const EffectFile::State& s : p.samplerStates) {
            checkValue(s.type, s.value, file.objectCount);
        }
    }
    for (const EffectFile::Technique& t : file.techniques) {
        for (const EffectFile::Pass& pass : t.passes) {
            for (const EffectFile::State& s : pass.states) {
                checkValue(s.type, s.value, file.objectCount);
            }
        }
    }
    for (const EffectFile::Resource& r : file.resources) {
        expect(r.data.size() <= size, "a resource lies inside the file");
        expect(r.usage <= 1, "resources are objects or parameter names");
    }
    return 0;
}
