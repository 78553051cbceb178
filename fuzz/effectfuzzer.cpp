// Fuzz target: one compiled effect file (.FXO), read by the native renderer's effect reader, then
// every piece of code in it through what the effect runtime makes of it: each expression read and
// run on the parameters' values, each object's constant table read and bound, each pixel shader
// 1.x translated.
//
// The input is read straight from memory. Refusing it is a normal outcome; the process stops when
// a refusal gives no reason, or the reader accepts a file that breaks a promise the runtime relies
// on: values of the size their types declare, object ids below the object count.

#include "engine/d3d/d3dx9effect.h"
#include "engine/gl/constantbinding.h"
#include "engine/gl/effectfile.h"
#include "engine/gl/expression.h"
#include "engine/gl/pixelshader1x.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace d3d;

namespace {

void expect(bool holds, const char* promise) {
    if (!holds) {
        std::fprintf(stderr, "broken promise: %s\n", promise);
        std::abort();
    }
}

void checkValue(const EffectFile::Type& type, const std::vector<std::uint32_t>& value,
                std::uint32_t objects) {
    const std::uint64_t elements = type.elements == 0 ? 1 : type.elements;
    if (type.klass == D3DXPC_OBJECT) {
        expect(value.size() == elements, "an object value holds one id per element");
        for (const std::uint32_t id : value) {
            expect(id < objects, "object ids lie below the object count");
        }
    } else if (type.klass != D3DXPC_STRUCT) {
        expect(value.size() == elements * type.rows * type.columns, "a numeric value holds its components");
        expect(type.rows <= 4 && type.columns <= 4, "numbers are at most 4 x 4");
    }
}

std::vector<std::uint32_t> words(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint32_t> w(bytes.size() / 4);
    if (!w.empty()) {
        std::memcpy(w.data(), bytes.data(), w.size() * 4);
    }
    return w;
}

// Runs a state's expression as a pass would, on the parameters' values as the file gives them.
void runExpression(const EffectFile& file, const std::vector<std::uint8_t>& code) {
    const std::vector<std::uint32_t> w = words(code);
    Expression e;
    std::string error;
    if (!Expression::read(w.data(), w.size(), file.parameters, e, error)) {
        expect(!error.empty(), "a refused expression gives its reason");
        return;
    }
    ConstantBinding::Values values;
    for (const EffectFile::Parameter& p : file.parameters) {
        values.push_back(p.value);
    }
    ConstantBinding::Registers out;
    e.run(values, out);
}

void checkState(const EffectFile& file, const EffectFile::State& s) {
    checkValue(s.type, s.value, file.objectCount);
    for (const EffectFile::State& inner : s.sampler) {
        checkState(file, inner);
    }
    if (!s.code.empty()) {
        runExpression(file, s.code);
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
    // Each parameter and technique takes at least one record of the file.
    expect(file.parameters.size() <= size / 16 && file.techniques.size() <= size / 12, "counts fit the file");
    for (const EffectFile::Parameter& p : file.parameters) {
        expect(!p.type.name.empty(), "parameters are named");
        expect(p.samplers.empty() || p.value.empty(), "a sampler holds states, not a value");
        if (p.samplers.empty()) {
            checkValue(p.type, p.value, file.objectCount);
        }
        for (const auto& sampler : p.samplers) {
            for (const EffectFile::State& s : sampler) {
                checkState(file, s);
            }
        }
    }
    for (const EffectFile::Technique& t : file.techniques) {
        for (const EffectFile::Pass& pass : t.passes) {
            for (const EffectFile::State& s : pass.states) {
                checkState(file, s);
            }
        }
    }
    const ConstantBinding::Target sets[3] = {ConstantBinding::Target::Bools, ConstantBinding::Target::Ints,
                                             ConstantBinding::Target::Floats};
    for (const auto& [id, bytes] : file.objects) {
        expect(id < file.objectCount && bytes.size() <= size, "objects lie inside the file");
        const std::vector<std::uint32_t> code = words(bytes);
        ConstantTable table;
        ConstantBinding binding;
        if (ConstantTable::read(code.data(), code.size(), table, error)) {
            ConstantBinding::bind(table, file.parameters, sets, binding, error);
        }
        GlslStage stage;
        if (!code.empty() && (code[0] & 0xFFFFFF00u) == 0xFFFF0100u &&
            !PixelShader1x::translate(code.data(), code.size(), stage, error)) {
            expect(!error.empty(), "a refused shader gives its reason");
        }
    }
    return 0;
}
