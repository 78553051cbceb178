#include "info/infocommand.h"
#include "info/jsonwriter.h"
#include "support/tempdir.h"
#include "writers/alowriter.h"
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
