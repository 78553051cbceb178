#include "info/infocommand.h"
#include "info/jsonwriter.h"
#include "main/textcase.h"
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
    std::ostringstream out;
    std::ostringstream err;
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
        .value(-0.0f)
        .value(std::numeric_limits<float>::infinity())
        .beginObject()
        .key("k")
        .value(std::uint64_t{4294967295u})
        .endObject()
        .endArray();
    EXPECT_EQ(out.str(),
              "[\"q\\\"b\\\\n\\n\\u0001\\u007f\\u00e9\",0.100000001,16777216,-0,null,{\"k\":4294967295}]");
}

TEST(InfoCommand, ListsAnArchiveInTableOrder) {
    TempDir dir;
    MegWriter w;
    w.add("DATA\\B.TXT", "bb");
    w.add("Data\\\xc4.txt", "a");
    const std::string path = dir.write("t.meg", w.build());
    const Result r = run({"archive", path});
    EXPECT_EQ(r.status, 0);
    // crc32("DATA\\B.TXT") = 3798041708 sorts after crc32("DATA\\\xc4.TXT") = 3704078686; the data
    // follows the 72 bytes of header and tables in the order the entries were added.
    EXPECT_EQ(r.out,
              "{\"entries\":[{\"name\":\"Data\\\\\\u00c4.txt\",\"crc\":3704078686,\"size\":1,\"start\":74},"
              "{\"name\":\"DATA\\\\B.TXT\",\"crc\":3798041708,\"size\":2,\"start\":72}]}\n");
}

TEST(InfoCommand, FindsAnEntryOrSaysNull) {
    TempDir dir;
    MegWriter w;
    w.add("DATA\\B.TXT", "bb");
    const std::string path = dir.write("t.meg", w.build());
    EXPECT_EQ(run({"find", path, "data\\b.txt"}).out, "{\"start\":40,\"size\":2}\n");
    EXPECT_EQ(run({"find", path, "data/b.txt"}).out, "null\n");
}

TEST(InfoCommand, ResolvesThroughTheFileManager) {
    TempDir dir;
    dir.write("Data/MegaFiles.xml", "<Mega_Files><File>Data\\A.meg</File></Mega_Files>");
    MegWriter w;
    w.add("DATA\\X.TXT", "xyz");
    dir.write("Data/A.meg", w.build());
    const Result r = run({"resolve", dir.path(), "data\\x.txt"});
    EXPECT_EQ(r.status, 0) << r.err;
    // The key is the upper-cased full path, a backslash written as \\ in JSON.
    const std::string key = toUpperAscii(dir.path()) + "/DATA\\\\A.MEG";
    EXPECT_EQ(r.out, "{\"archives\":[\"" + key + "\"],\"source\":\"" + key + "\",\"size\":3}\n");
    EXPECT_NE(run({"resolve", dir.folder(), "Data\\MegaFiles.xml"}).out.find("\"source\":\"loose\""),
              std::string::npos);
    EXPECT_NE(run({"resolve", dir.folder(), "Data\\None"}).out.find("\"source\":null,\"size\":null}"),
              std::string::npos);
}

TEST(InfoCommand, ErrorsGiveTheReportAndStatusOneUsageStatusTwo) {
    TempDir dir;
    const std::string path = dir.write("bad.meg", "\x05");
    const Result bad = run({"archive", path});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(bad.err.rfind("Caught exception from managers/megafile.cpp:", 0), 0u);
    EXPECT_NE(bad.err.find("\n\nBad or corrupted file:\n" + path + "\n"), std::string::npos);
    EXPECT_EQ(run({"resolve", dir.path(), "x"}).status, 1);
    EXPECT_EQ(run({"archive"}).status, 2);
    EXPECT_EQ(run({"model", "a", "b", "c"}).status, 2);
}

TEST(InfoCommand, DescribesAModelLooseOrFromAnArchive) {
    AloWriter w;
    AloBone root;
    root.name = "Root";
    root.matrix[3] = 0.1f;
    w.addBone(root);
    AloMesh hull;
    hull.name = "Hull\xe9";
    hull.vertices = {{}, {}, {}};
    hull.indices = {0, 1, 2};
    hull.effect = "MeshGloss.fx";
    hull.parameters = {AloParameter::floatValue("Shininess", 0.3f),
                       AloParameter::textureName("BaseTexture", "H.tga"),
                       AloParameter::float4Value("Diffuse", 1, 0.5f, 0, -2)};
    w.addMesh(hull);
    AloMesh bare;
    bare.hasGeometry = false;
    bare.hasMaterial = false;
    w.addMesh(bare);
    w.connect(0, 0);
    TempDir dir;
    const std::string loose = dir.write("ship.alo", w.build());
    const std::string expected = "{\"meshes\":[{\"name\":\"Hull\\u00e9\",\"vertexCount\":3,\"triangleCount\":"
                                 "1,\"vertexFormat\":\"alD3dVertNU2\","
                                 "\"material\":{\"effect\":\"MeshGloss.fx\",\"parameters\":[{\"name\":"
                                 "\"Shininess\",\"type\":\"float\",\"value\":0.300000012},"
                                 "{\"name\":\"BaseTexture\",\"type\":\"texture\",\"value\":\"H.tga\"},"
                                 "{\"name\":\"Diffuse\",\"type\":\"float4\",\"value\":[1,0.5,0,-2]}]},"
                                 "\"world\":[1,0,0,0,0,1,0,0,0,0,1,0,0.100000001,0,0,1]},"
                                 "{\"name\":\"\",\"vertexCount\":4294967295,\"triangleCount\":4294967295,"
                                 "\"vertexFormat\":\"\",\"material\":null,"
                                 "\"world\":[1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1]}],\"bones\":1}\n";
    const Result r = run({"model", loose});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, expected);

    MegWriter meg;
    meg.add("DATA\\ART\\MODELS\\SHIP.ALO", w.build());
    const std::string archive = dir.write("models.meg", meg.build());
    EXPECT_EQ(run({"model", archive, "data\\art\\models\\ship.alo"}).out, expected);
    const Result missing = run({"model", archive, "data\\art\\models\\none.alo"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "kestrin-info: " + archive + " holds no entry data\\art\\models\\none.alo\n");
    const Result broken = run({"model", dir.write("broken.alo", "\x01\x02")});
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.err.find("Unable to read chunk header"), std::string::npos);
}
