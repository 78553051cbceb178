#include "demodata/demomodels.h"

#include "writers/alowriter.h"

#include <cmath>

namespace {

constexpr float kPi = 3.14159265f;

// A box from (x0, y0, z0) to (x1, y1, z1), each face with its own outward normal and UVs.
AloMesh box(const std::string& name, float x0, float y0, float z0, float x1, float y1, float z1) {
    AloMesh mesh;
    mesh.name = name;
    struct Face {
        float n[3];
        float corners[4][3];
    };
    const Face faces[6] = {
        {{1, 0, 0}, {{x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}, {x1, y0, z1}}},
        {{-1, 0, 0}, {{x0, y1, z0}, {x0, y0, z0}, {x0, y0, z1}, {x0, y1, z1}}},
        {{0, 1, 0}, {{x1, y1, z0}, {x0, y1, z0}, {x0, y1, z1}, {x1, y1, z1}}},
        {{0, -1, 0}, {{x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}, {x0, y0, z1}}},
        {{0, 0, 1}, {{x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}}},
        {{0, 0, -1}, {{x0, y1, z0}, {x1, y1, z0}, {x1, y0, z0}, {x0, y0, z0}}},
    };
    const float uv[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
    for (const Face& f : faces) {
        const auto base = static_cast<std::uint16_t>(mesh.vertices.size());
        for (int c = 0; c < 4; ++c) {
            AloVertex v;
            v.x = f.corners[c][0];
            v.y = f.corners[c][1];
            v.z = f.corners[c][2];
            v.nx = f.n[0];
            v.ny = f.n[1];
            v.nz = f.n[2];
            v.u = uv[c][0];
            v.v = uv[c][1];
            mesh.vertices.push_back(v);
        }
        // Counter-clockwise seen from outside in the Z-up world, which the left-handed view turns
        // clockwise on screen: the faces Direct3D's default culling keeps.
        for (const int i : {0, 1, 2, 0, 2, 3}) {
            mesh.indices.push_back(static_cast<std::uint16_t>(base + i));
        }
    }
    return mesh;
}

AloMesh sphereMesh(const std::string& name, float radius, int rings, int segments) {
    AloMesh mesh;
    mesh.name = name;
    for (int r = 0; r <= rings; ++r) {
        const float theta = kPi * static_cast<float>(r) / static_cast<float>(rings);
        for (int s = 0; s <= segments; ++s) {
            const float phi = 2 * kPi * static_cast<float>(s) / static_cast<float>(segments);
            AloVertex v;
            v.nx = std::sin(theta) * std::cos(phi);
            v.ny = std::sin(theta) * std::sin(phi);
            v.nz = std::cos(theta);
            v.x = radius * v.nx;
            v.y = radius * v.ny;
            v.z = radius * v.nz;
            v.u = static_cast<float>(s) / static_cast<float>(segments);
            v.v = static_cast<float>(r) / static_cast<float>(rings);
            mesh.vertices.push_back(v);
        }
    }
    const int row = segments + 1;
    for (int r = 0; r < rings; ++r) {
        for (int s = 0; s < segments; ++s) {
            const int a = r * row + s;
            const int b = a + row;
            for (const int i : {a, b, a + 1, a + 1, b, b + 1}) {
                mesh.indices.push_back(static_cast<std::uint16_t>(i));
            }
        }
    }
    return mesh;
}

void glossMaterial(AloMesh& mesh, const std::string& texture, float r, float g, float b) {
    mesh.effect = "MeshGloss.fx";
    mesh.parameters = {
        AloParameter::float4Value("Emissive", 0.35f, 0.35f, 0.35f, 1),
        AloParameter::float4Value("Diffuse", r, g, b, 1), AloParameter::float4Value("Specular", 1, 1, 1, 1),
        AloParameter::floatValue("Shininess", 32), AloParameter::textureName("BaseTexture", texture)};
}

// Lit per pixel and tinted by the team colour, its panels shaded by the normal map.
void bumpColorizeMaterial(AloMesh& mesh) {
    mesh.effect = "MeshBumpColorize.fx";
    mesh.parameters = {AloParameter::float4Value("Emissive", 0.15f, 0.15f, 0.15f, 1),
                       AloParameter::float4Value("Diffuse", 0.8f, 0.8f, 0.85f, 1),
                       AloParameter::float4Value("Specular", 1, 1, 1, 1),
                       AloParameter::floatValue("Shininess", 32),
                       AloParameter::float4Value("Colorization", 0.45f, 0.6f, 1, 1),
                       AloParameter::float4Value("UVOffset", 0, 0, 0, 0),
                       AloParameter::textureName("BaseTexture", "Demo_Hull.tga"),
                       AloParameter::textureName("NormalTexture", "Demo_Hull_Normal.tga")};
}

void glossColorizeMaterial(AloMesh& mesh) {
    mesh.effect = "MeshGlossColorize.fx";
    mesh.parameters = {AloParameter::float4Value("Emissive", 0.2f, 0.2f, 0.2f, 1),
                       AloParameter::float4Value("Diffuse", 0.8f, 0.8f, 0.85f, 1),
                       AloParameter::float4Value("Specular", 1, 1, 1, 1),
                       AloParameter::floatValue("Shininess", 16),
                       AloParameter::float4Value("Colorization", 0.55f, 0.75f, 1, 1),
                       AloParameter::textureName("BaseTexture", "Demo_Hull.tga"),
                       AloParameter::textureName("GlossTexture", "Demo_Engine.tga")};
}

// The engine's glow: its texture added to what is behind.
void additiveMaterial(AloMesh& mesh) {
    mesh.effect = "MeshAdditive.fx";
    mesh.parameters = {AloParameter::float4Value("Color", 0.3f, 0.5f, 0.9f, 1),
                       AloParameter::float4Value("UVScrollRate", 0, 0.5f, 0, 0),
                       AloParameter::textureName("BaseTexture", "Demo_Engine.tga")};
}

// Glass: the fixed-function pipeline, blended over what is behind by Diffuse's alpha.
void alphaMaterial(AloMesh& mesh) {
    mesh.effect = "MeshAlpha.fx";
    mesh.parameters = {AloParameter::float4Value("Emissive", 0.1f, 0.1f, 0.15f, 0),
                       AloParameter::float4Value("Diffuse", 0.6f, 0.7f, 0.95f, 0.6f),
                       AloParameter::float4Value("Specular", 1, 1, 1, 1),
                       AloParameter::floatValue("Shininess", 24),
                       AloParameter::textureName("BaseTexture", "Demo_Hull.tga")};
}

void plainMaterial(AloMesh& mesh, const std::string& effect, const std::string& texture) {
    mesh.effect = effect;
    mesh.parameters = {AloParameter::textureName("BaseTexture", texture)};
}

AloBone bone(const std::string& name, std::int32_t parent, float x, float y, float z) {
    AloBone b;
    b.name = name;
    b.parent = parent;
    b.matrix[3] = x;
    b.matrix[7] = y;
    b.matrix[11] = z;
    return b;
}

} // namespace

std::string DemoModels::ship() {
    AloWriter w;
    w.addBone(bone("Root", -1, 0, 0, 0));
    w.addBone(bone("EngineLeft", 0, -120, -45, 0));
    w.addBone(bone("EngineRight", 0, -120, 45, 0));
    w.addBone(bone("Bridge", 0, -40, 0, 30));

    AloMesh hull = box("Hull", -150, -30, -15, 150, 30, 15);
    AloMesh bow = box("Bow", 150, -15, -10, 210, 15, 8);
    AloMesh engine = box("Engine", -40, -12, -12, 40, 12, 12);
    AloMesh bridge = box("Bridge", -25, -15, 0, 25, 15, 25);
    // Each mesh shows one of the demo effects.
    bumpColorizeMaterial(hull);
    glossColorizeMaterial(bow);
    alphaMaterial(bridge);
    AloMesh leftEngine = engine;
    leftEngine.name = "EngineLeft";
    glossMaterial(leftEngine, "Demo_Engine.tga", 0.6f, 0.6f, 0.7f);
    AloMesh rightEngine = engine;
    rightEngine.name = "EngineRight";
    additiveMaterial(rightEngine);

    w.addMesh(hull);
    w.addMesh(bow);
    w.addMesh(leftEngine);
    w.addMesh(rightEngine);
    w.addMesh(bridge);
    w.connect(0, 0);
    w.connect(1, 0);
    w.connect(2, 1);
    w.connect(3, 2);
    w.connect(4, 3);
    return w.build();
}

std::string DemoModels::sphere() {
    AloWriter w;
    AloMesh globe = sphereMesh("Globe", 50, 16, 32);
    plainMaterial(globe, "Default.fx", "Demo_Planet.tga");
    w.addMesh(globe);
    return w.build();
}

std::string DemoModels::oddities() {
    AloWriter w;
    AloMesh unnamed = box("", -20, -20, -20, 20, 20, 20);
    plainMaterial(unnamed, "AlDefault.fx", "Demo_Hull.tga");
    AloMesh bare = box("NoMaterial", 30, -10, -10, 50, 10, 10);
    bare.hasMaterial = false;
    AloMesh empty;
    empty.name = "NoGeometry";
    empty.hasGeometry = false;
    w.addMesh(unnamed);
    w.addMesh(bare);
    w.addMesh(empty);
    return w.build();
}
