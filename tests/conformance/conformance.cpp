// kestrin-conformance: the host's half of the native renderer's check against Direct3D 9.
//
//   kestrin-conformance data FOLDER             writes the data folder of the Windows tests (their
//                                               effects need MojoShader, which only the host has)
//   kestrin-conformance compare FOLDER FRAMES   draws every scene with the native renderer and
//                                               compares it with FRAMES/NAME.png, which the Windows
//                                               tests drew on the real Direct3D 9 under Wine
//
// A scene agrees when something is drawn and the pictures agree as kestrin-render's do
// (PictureComparison). Beside each reference go NAME-native.png and NAME-difference.png (eight
// times the differences) for a person to look at. Exit status 0 when every scene agrees.

#include "conformance.h"
#include "demodata/demodata.h"
#include "engine/gl/eglsurface.h"
#include "main/errorreport.h"
#include "main/exception.h"
#include "managers/shadermanager.h"
#include "managers/texturemanager.h"
#include "render/picturecomparison.h"
#include "render/pngreader.h"
#include "render/pngwriter.h"
#include "writers/alowriter.h"
#include "writers/ddswriter.h"
#include "writers/demoeffects.h"
#include "writers/effectwriter.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

using namespace conformance;

namespace {

void write(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    if (!(std::ofstream(path, std::ios::binary) << bytes)) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

// An unlit effect that adds one colour, whose alpha is the texture's u, in each of passCount passes,
// blending ONE to ONE; the two-pass one also keeps only what has an alpha GREATER than 128/255.
std::string flatEffect(int passCount) {
    EffectWriter w;
    w.addParameter(
        {"WorldViewProjection", EffectWriter::Type::Float4x4, "WORLDVIEWPROJECTION", {}, {}, {}, {}});
    w.addParameter({"Color", EffectWriter::Type::Float4, "", {0.25f, 0.125f, 0.375f, 1}, {}, {}, {}});
    const std::uint32_t test = passCount > 1 ? 1 : 0;
    const std::vector<EffectWriter::State> states = {
        {"ZEnable", 1},    {"ZWriteEnable", 0}, {"AlphaBlendEnable", 1},
        {"SrcBlend", 2},   {"DestBlend", 2},    {"AlphaTestEnable", test},
        {"AlphaRef", 128}, {"AlphaFunc", 5},    {"CullMode", 3}};
    const EffectWriter::Shader vertexShader{
        "vs_2_0\ndcl_position v0\ndcl_texcoord v1\nm4x4 oPos, v0, c0\nmov oT0, v1\n",
        {{"WorldViewProjection", 0}}};
    const EffectWriter::Shader pixelShader{"ps_2_0\ndcl t0.xy\nmov r0, c0\nmov r0.w, t0.x\nmov oC0, r0\n",
                                           {{"Color", 0}}};
    const EffectWriter::Pass pass{"Add", states, vertexShader, pixelShader, {}};
    const EffectWriter::Technique technique{"Flat", std::vector<EffectWriter::Pass>(passCount, pass), {}};
    w.addTechnique(technique);
    return w.build();
}

// A cube of half-side s about c, its faces turning counter-clockwise seen from outside in the Z-up
// world, as Direct3D's culling keeps them in the left-handed view.
AloMesh box(const std::string& effect, std::vector<AloParameter> parameters, float s = 100, float cx = 0,
            float cy = 0, float cz = 0) {
    AloMesh mesh;
    mesh.name = mesh.effect = effect;
    mesh.parameters = std::move(parameters);
    mesh.indices = {4, 5, 7, 4, 7, 6, 0, 2, 3, 0, 3, 1, 1, 3, 7, 1, 7, 5,
                    0, 4, 6, 0, 6, 2, 2, 6, 7, 2, 7, 3, 0, 1, 5, 0, 5, 4};
    for (int k = 0; k < 8; ++k) {
        const float x = k & 1, y = k >> 1 & 1, z = k >> 2;
        mesh.vertices.push_back(
            {cx + s * (2 * x - 1), cy + s * (2 * y - 1), cz + s * (2 * z - 1), 0, 0, 1, x, y});
    }
    return mesh;
}

void writeData(const std::filesystem::path& folder) {
    std::filesystem::remove_all(folder);
    std::string error;
    if (!writeDemoData(folder.string(), error)) {
        throw std::runtime_error(error);
    }
    const std::filesystem::path shaders = folder / "Data/Art/Shaders",
                                textures = folder / "Data/Art/Textures";
    // Every effect loose, where the Windows tests find them all; the demo ones beside their archive.
    for (const auto& [name, bytes] : buildDemoEffects()) {
        write(shaders / (name + ".fxo"), bytes);
    }
    write(shaders / "FlatOnce.fxo", flatEffect(1));
    write(shaders / "FlatTwice.fxo", flatEffect(2));
    // 8 x 8 textures: each pixel its own colour and alpha; and solid red, green, blue and white
    // quarters, which DXT1 keeps exactly.
    std::vector<std::uint8_t> argb;
    std::vector<std::uint8_t> quarters;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const int q = y / 4 * 2 + x / 4;
            argb.insert(argb.end(), {std::uint8_t(x * 32 + 7), std::uint8_t(y * 32 + 3),
                                     std::uint8_t(200 - x * 8 - y * 4), std::uint8_t(255 - x * 16 - y)});
            quarters.insert(quarters.end(),
                            {std::uint8_t(q % 3 == 0 ? 255 : 0), std::uint8_t(q % 2 == 1 ? 255 : 0),
                             std::uint8_t(q >= 2 ? 255 : 0), 255});
        }
    }
    write(textures / "Checker_Argb.dds", DdsWriter(8, 8, argb).build(DdsWriter::Format::A8R8G8B8));
    write(textures / "Checker_Dxt1.dds", DdsWriter(8, 8, quarters).build(DdsWriter::Format::Dxt1));

    // Passes.alo: the same box with the one-pass, the two-pass and a missing effect. Blending.alo:
    // boxes side by side, opaque and textured (DXT1), half transparent, added to what is behind, with
    // a texture that does not exist, and with two textures.
    AloWriter passes;
    for (const char* effect : {"FlatOnce.fx", "FlatTwice.fx", "NoSuchEffect.fx"}) {
        passes.addMesh(box(effect, {}));
    }
    write(folder / "Data/Art/Models/Passes.alo", passes.build());
    using P = AloParameter;
    const P argbTexture = P::textureName("BaseTexture", "Checker_Argb.dds");
    AloWriter blending;
    blending.addMesh(box("MeshGloss.fx", {P::textureName("BaseTexture", "Checker_Dxt1.dds")}, 90));
    blending.addMesh(box("MeshAlpha.fx", {P::float4Value("Diffuse", 0.5f, 0.75f, 1, 0.5f), argbTexture}, 60,
                         -120, -120, 60));
    blending.addMesh(box("MeshAdditive.fx", {P::float4Value("Color", 0.5f, 0.25f, 0.125f, 1), argbTexture},
                         60, 140, -100));
    blending.addMesh(
        box("MeshGloss.fx", {P::textureName("BaseTexture", "NoSuchTexture.dds")}, 50, -140, 120));
    blending.addMesh(box("MeshGlossColorize.fx",
                         {P::float4Value("Colorization", 1, 0.25f, 0.25f, 1), argbTexture,
                          P::textureName("GlossTexture", "Checker_Dxt1.dds")},
                         50, 120, 140, 20));
    write(folder / "Data/Art/Models/Blending.alo", blending.build());
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (!(command == "data" && argc == 3) && !(command == "compare" && argc == 4)) {
        std::cerr << "usage: kestrin-conformance data FOLDER | compare FOLDER FRAMES\n";
        return 2;
    }
    int failures = 0;
    try {
        if (command == "data") {
            writeData(argv[2]);
            return 0;
        }
        const std::string frames = std::string(argv[3]) + "/";
        EglSurface surface(kWidth, kHeight);
        FileManager files(std::string(argv[2]) + "/");
        TextureManager textures(&files, "Data\\Art\\Textures\\");
        ShaderManager shaders(&files, "Data\\Art\\Shaders\\");
        Engine engine(&surface, kWidth, kHeight, textures, shaders);
        std::vector<std::unique_ptr<Model>> models;
        for (const Scene& scene : scenes()) {
            stage(scene, engine, files, models);
            engine.render();
            const std::vector<std::uint8_t> native = surface.readPixels();
            int width = 0;
            int height = 0;
            std::vector<std::uint8_t> reference;
            std::string error;
            if (!PngReader::read(frames + scene.name + ".png", width, height, reference, error) ||
                width != kWidth || height != kHeight) {
                throw std::runtime_error("no reference frame " + frames + scene.name + ".png of this size");
            }
            const PictureComparison comparison(reference, native);
            const bool agrees = comparison.agrees() && comparison.lit() > 0;
            std::printf("%-16s %7.3f%% within 8/255, largest difference %3d, %6zu pixels lit: %s\n",
                        scene.name.c_str(), comparison.share() * 100, comparison.largest(), comparison.lit(),
                        agrees ? "agrees" : (comparison.lit() == 0 ? "NOTHING DRAWN" : "DIFFERS"));
            failures += agrees ? 0 : 1;
            PngWriter::write(frames + scene.name + "-native.png", kWidth, kHeight, native, error);
            PngWriter::write(frames + scene.name + "-difference.png", kWidth, kHeight,
                             comparison.difference(), error);
        }
        engine.clearMeshes();
    } catch (const Exception& e) {
        std::cerr << composeErrorReport(e);
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "kestrin-conformance: " << e.what() << "\n";
        return 1;
    }
    std::printf("%d scene(s) differ\n", failures);
    return failures == 0 ? 0 : 1;
}
