#include "engine/gl/effectfile.h"
#include "writers/demoeffects.h"

#include <gtest/gtest.h>

namespace {

bool read(const std::string& bytes, EffectFile& file, std::string& error) {
    return EffectFile::read(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), file, error);
}

const EffectFile::Parameter* find(const EffectFile& file, const std::string& name) {
    for (const auto& p : file.parameters) {
        if (p.type.name == name) {
            return &p;
        }
    }
    return nullptr;
}

std::uint32_t firstWord(const std::vector<std::uint8_t>& data) {
    return data.size() < 4 ? 0
                           : std::uint32_t{data[0]} | std::uint32_t{data[1]} << 8 |
                                 std::uint32_t{data[2]} << 16 | std::uint32_t{data[3]} << 24;
}

} // namespace

TEST(EffectFile, ReadsOurEffectsParametersTechniquesAndShaders) {
    for (const auto& [name, bytes] : buildDemoEffects()) {
        EffectFile file;
        std::string error;
        ASSERT_TRUE(read(bytes, file, error)) << name << ": " << error;
        ASSERT_FALSE(file.techniques.empty()) << name;
        bool sawWvp = false;
        for (const auto& p : file.parameters) {
            sawWvp |= p.type.semantic == "WORLDVIEWPROJECTION" && p.type.rows == 4 && p.type.columns == 4;
        }
        EXPECT_TRUE(sawWvp) << name;
        // Each pass runs a vertex and a pixel shader whose bytecode is attached to its state.
        for (const auto& pass : file.techniques[0].passes) {
            int shaders = 0;
            for (const auto& s : pass.states) {
                shaders += s.operation == 0x92 || s.operation == 0x93;
            }
            EXPECT_EQ(shaders, 2) << name;
        }
        int vertexShaders = 0;
        int pixelShaders = 0;
        for (const auto& [id, data] : file.objects) {
            vertexShaders += firstWord(data) == 0xFFFE0200;
            pixelShaders += firstWord(data) == 0xFFFF0200;
        }
        EXPECT_EQ(vertexShaders, static_cast<int>(file.techniques[0].passes.size())) << name;
        EXPECT_EQ(pixelShaders, static_cast<int>(file.techniques[0].passes.size())) << name;
    }
    EffectFile gloss;
    std::string error;
    ASSERT_TRUE(read(buildDemoEffects().at("MeshGloss"), gloss, error));
    const EffectFile::Parameter* diffuse = find(gloss, "Diffuse");
    ASSERT_NE(diffuse, nullptr);
    EXPECT_EQ(diffuse->type.klass, 1u);
    EXPECT_EQ(diffuse->type.columns, 4u);
    EXPECT_EQ(diffuse->value.size(), 4u);
}

TEST(EffectFile, RefusesEveryCutAndSurvivesCorruption) {
    const std::string good = buildDemoEffects().at("MeshBumpColorize");
    EffectFile file;
    std::string error;
    for (std::size_t cut = 0; cut < good.size(); cut += 7) {
        EXPECT_FALSE(read(good.substr(0, cut), file, error)) << cut;
    }
    EXPECT_FALSE(read("plain text, not an effect", file, error));
    EXPECT_EQ(error, "not a compiled effect file");
    // Corrupted words anywhere give a refusal or a reading, never a read outside the bytes.
    std::uint32_t seed = 2024;
    int refused = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string bytes = good;
        seed = seed * 1664525u + 1013904223u;
        const std::size_t at = (seed >> 8) % (bytes.size() / 4) * 4;
        const std::uint32_t word = seed * 2654435761u;
        for (int b = 0; b < 4; ++b) {
            bytes[at + b] = static_cast<char>(word >> (8 * b));
        }
        refused += read(bytes, file, error) ? 0 : 1;
    }
    EXPECT_GT(refused, 0);
}
