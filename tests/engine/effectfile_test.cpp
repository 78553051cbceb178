#include "engine/gl/effectfile.h"
#include "writers/demoeffects.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

bool read(const std::string& bytes, EffectFile& file, std::string& error) {
    return EffectFile::read(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), file, error);
}

std::uint32_t wordAt(const std::string& bytes, std::size_t at) {
    std::uint32_t word = 0;
    std::memcpy(&word, bytes.data() + at, 4);
    return word;
}

// bytes with the first parameter's type replaced by the record `words` (given its name), added at the
// end of the pool.
std::string withFirstParameterType(std::string bytes, std::vector<std::uint32_t> words) {
    const std::uint32_t pool = wordAt(bytes, 4);
    const auto grown = static_cast<std::uint32_t>(pool + 4 * words.size());
    words[2] = wordAt(bytes, 8 + wordAt(bytes, 8 + pool + 16) + 8);
    bytes.insert(8 + pool, reinterpret_cast<const char*>(words.data()), 4 * words.size());
    std::memcpy(&bytes[4], &grown, 4);
    std::memcpy(&bytes[8 + grown + 16], &pool, 4); // after the four counts
    return bytes;
}

} // namespace

TEST(EffectFile, ReadsStructuresOfNumbersButNoneNestedDeeperThanEffectsNeed) {
    const std::string good = buildDemoEffects().at("MeshGloss");
    EffectFile file;
    std::string error;
    // A structure (class 5) of one member, a float.
    const std::vector<std::uint32_t> floatMember = {3, 0, 0, 0, 0, 1, 1};
    std::vector<std::uint32_t> nested = {0, 5, 0, 0, 0, 1};
    nested.insert(nested.end(), floatMember.begin(), floatMember.end());
    ASSERT_TRUE(read(withFirstParameterType(good, nested), file, error)) << error;
    EXPECT_EQ(file.parameters[0].type.members.size(), 1u);
    EXPECT_EQ(file.parameters[0].value.size(), 1u);
    // A million levels deep: refused without running out of stack.
    nested.clear();
    for (int level = 0; level < 1000000; ++level) {
        nested.insert(nested.end(), {0, 5, 0, 0, 0, 1});
    }
    nested.insert(nested.end(), floatMember.begin(), floatMember.end());
    EXPECT_FALSE(read(withFirstParameterType(good, nested), file, error));
}

TEST(EffectFile, RefusesEveryCutAndText) {
    const std::string good = buildDemoEffects().at("MeshBumpColorize");
    EffectFile file;
    std::string error;
    for (std::size_t cut = 0; cut < good.size(); cut += 7) {
        EXPECT_FALSE(read(good.substr(0, cut), file, error)) << cut;
    }
    EXPECT_FALSE(read("plain text, not an effect", file, error));
    EXPECT_EQ(error, "not a compiled effect file");
}
