#include "info/infocommand.h"
#include "info/jsonwriter.h"
#include "support/tempdir.h"
#include "writers/alowriter.h"
#include "writers/effectwriter.h"
#include "writers/megwriter.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = runInfoCommand(args, out, err);
    return {status, out.str(), err.str()};
}

} // namespace

TEST(JsonWriter, EscapesBytesAndFormatsFloatsToReadBackExactly) {
    std::ostringstream out;
    JsonWriter json(out);
    json.beginArray()
        .value(std::string("q\"b\\n\n\x01\x7f\xe9", 9))
        .value(0.1f)
        .value(16777216.0f)
        .value(-0.0f);
    json.value(std::numeric_limits<float>::infinity())
        .beginObject()
        .key("k")
        .value(std::uint64_t{4294967295u});
    json.endObject().endArray();
    EXPECT_EQ(out.str(),
              "[\"q\\\"b\\\\n\\n\\u0001\\u007f\\u00e9\",0.100000001,16777216,-0,null,{\"k\":4294967295}]");
}

TEST(InfoCommand, DescribesModelsLooseOrInAnArchiveAndReportsErrorsWithStatusOneUsageWithTwo) {
    AloWriter w;
    AloBone root;
    root.matrix[3] = 0.5f;
    w.addBone(root);
    AloMesh hull;
    hull.name = "Hull\xe9";
    hull.parameters = {AloParameter::floatValue("Shininess", 0.3f),
                       AloParameter::textureName("Base", "H.tga")};
    w.addMesh(hull);
    w.connect(0, 0);
    TempDir dir;
    const std::string expected =
        "{\"meshes\":[{\"name\":\"Hull\\u00e9\",\"vertexCount\":0,\"triangleCount\":0,\"vertexFormat\":"
        "\"alD3dVertNU2\","
        "\"material\":{\"effect\":\"MeshGloss.fx\",\"parameters\":[{\"name\":\"Shininess\",\"type\":"
        "\"float\",\"value\":"
        "0.300000012},{\"name\":\"Base\",\"type\":\"texture\",\"value\":\"H.tga\"}]},"
        "\"world\":[1,0,0,0,0,1,0,0,0,0,1,0,0.5,0,0,1]}],\"bones\":1}\n";
    EXPECT_EQ(run({"model", dir.write("ship.alo", w.build())}).out, expected);
    MegWriter meg;
    meg.add("DATA\\ART\\MODELS\\SHIP.ALO", w.build());
    const std::string archive = dir.write("models.meg", meg.build());
    EXPECT_EQ(run({"model", archive, "data\\art\\models\\ship.alo"}).out, expected);

    const Result missing = run({"model", archive, "data\\art\\models\\none.alo"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "kestrin-info: " + archive + " holds no entry data\\art\\models\\none.alo\n");
    const std::string path = dir.write("bad.meg", "\x05");
    const Result bad = run({"archive", path});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(bad.err.rfind("Caught exception from managers/megafile.cpp:", 0), 0u);
    EXPECT_NE(bad.err.find("\n\nBad or corrupted file:\n" + path + "\n"), std::string::npos);
    EXPECT_EQ(run({"model", "a", "b", "c"}).status, 2);
}

// An effect with each place a value or a shader comes from: annotations, a sampler naming its
// texture, a shader variable, shaders in a pass (vs_1_1 with def and dcl, which are not counted),
// an expression, and a technique whose pixel shader the native renderer refuses.
TEST(InfoCommand, DescribesEffectsStatesShadersAndTheNativeVerdictAndReportsBrokenOnes) {
    using W = EffectWriter;
    using A = W::Annotation;
    W w;
    W::Parameter colour{
        "Colour", W::Type::Float4, "DIFFUSE", {}, {}, {}, {{"UIName", A::Kind::String, 0, 0, "Tint"}}};
    w.addParameter(colour);
    w.addParameter({"Base", W::Type::Texture, "", {}, "", {}, {}});
    w.addParameter({"BaseSampler", W::Type::Sampler, "", {}, "Base", {}, {}});
    w.addParameter(
        {"PS", W::Type::PixelShader, "", {}, "", {}, {}, {"ps_2_0\nmov oC0, c0\n", {{"Colour", 0}}}});
    const W::Shader vs{"vs_1_1\ndef c9, 0, 1, 0, 1\ndcl_position v0\nmov oPos, v0\nmov oD0, c9\n", {}};
    W::State lit{"LightDiffuse", 0, 0, {}, {}, {{{"Colour", 0, false}}, {}, {}}};
    lit.expression.instructions = {{ExpressionAssembler::Op::Mov,
                                    4,
                                    false,
                                    {{ExpressionAssembler::Table::Input, 0, 0}},
                                    {ExpressionAssembler::Table::Output, 0, 0}}};
    W::Pass named{"P0",
                  {{"CullMode", 3}, {"PixelShader", 0, 0, {}, "PS"}, lit},
                  vs,
                  {},
                  {{"Weight", A::Kind::Float, 0, 0.5f, ""}}};
    w.addTechnique({"Named", {named}, {}});
    w.addTechnique({"Refused", {{"P0", {}, vs, {"ps_1_1\nrcp r0, c0\n", {{"Colour", 0}}}, {}}}, {}});
    TempDir dir;
    const std::string path = dir.write("e.fxo", w.build());
    const std::string json = run({"effect", path}).out;
    for (
        const char* part :
        {"{\"name\":\"Colour\",\"semantic\":\"DIFFUSE\",\"class\":\"vector\",\"type\":\"float\",\"rows\":1,"
         "\"columns\":4,\"elements\":0,\"annotations\":[{\"name\":\"UIName\",\"class\":\"object\",\"type\":"
         "\"string\",\"rows\":0,\"columns\":0,\"elements\":0,\"value\":\"Tint\"}]}",
         "\"samplers\":[[{\"state\":\"Texture\",\"index\":0,\"parameter\":\"Base\"}]]",
         "{\"name\":\"Named\",\"annotations\":[],\"native\":{\"drawable\":true},\"passes\":[{\"name\":\"P0\","
         "\"annotations\":[{\"name\":\"Weight\",\"class\":\"scalar\",\"type\":\"float\",\"rows\":1,"
         "\"columns\":1,"
         "\"elements\":0,\"value\":0.5}],\"states\":[{\"state\":\"D3DRS_CULLMODE\",\"index\":0,\"value\":3},",
         "\"parameter\":\"PS\",\"shader\":{\"model\":\"ps_2_0\",\"instructions\":1,\"lives\":\"variable\"}}",
         "{\"state\":\"LightDiffuse\",\"index\":0,\"expression\":{\"reads\":[\"Colour\"]}}",
         "\"shader\":{\"model\":\"vs_1_1\",\"instructions\":2,\"lives\":\"pass\"}}",
         "{\"name\":\"Refused\",\"annotations\":[],\"native\":{\"drawable\":false,\"problem\":\"pass 0: "
         "pixel shader"}) {
        EXPECT_NE(json.find(part), std::string::npos) << part << "\nnot in\n" << json;
    }
    for (const std::string& bytes : {w.build().substr(0, 200), std::string("not an effect")}) {
        const Result bad = run({"effect", dir.write("bad.fxo", bytes)});
        EXPECT_EQ(bad.status, 1);
        EXPECT_EQ(bad.err.rfind("Caught exception from tools/info/effectcommand.cpp:", 0), 0u) << bad.err;
        EXPECT_NE(bad.err.find("Bad or corrupted file:\n" + dir.path() + "/bad.fxo\n"), std::string::npos);
    }
}
