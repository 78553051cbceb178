// The CPU cost of one frame of 500 visible mesh instances against the recording fake device:
// semantic tables, cache lookups, parameter binding and the draw calls. The baseline issues the
// same draw calls on the same fake device without the Engine's work around them.
#include "support/renderfixture.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kMeshes = 500;

struct Scene {
    RenderFixture fixture;
    std::unique_ptr<Engine> engine;

    Scene() {
        fixture.addEffect("MESHGLOSS.FXO",
                          "param WorldViewProj WORLDVIEWPROJECTION\nparam World WORLD\n"
                          "param LightDir DIR_LIGHT_VEC_0\nparam LightDiffuse DIR_LIGHT_DIFFUSE_0\n"
                          "param Eye EYE_POSITION\nparam Emissive -\nparam Diffuse -\n"
                          "param Specular -\nparam Shininess -\nparam BaseTexture -\n");
        fixture.addTexture("HULL.DDS");
        AloWriter w;
        for (int i = 0; i < kMeshes; ++i) {
            AloMesh mesh = triangleMesh("Mesh" + std::to_string(i), "MeshGloss.fx");
            mesh.parameters = {AloParameter::float4Value("Emissive", 0, 0, 0, 1),
                               AloParameter::float4Value("Diffuse", 1, 1, 1, 1),
                               AloParameter::float4Value("Specular", 1, 1, 1, 1),
                               AloParameter::floatValue("Shininess", 16),
                               AloParameter::textureName("BaseTexture", "Hull.tga")};
            w.addMesh(mesh);
        }
        const Model& model = fixture.model(w);
        engine = fixture.engine();
        for (std::size_t i = 0; i < model.getMeshCount(); ++i) {
            d3d::D3DXMATRIX world;
            d3d::D3DXMatrixIdentity(&world);
            engine->addMesh(&model.getMesh(i), world, true);
        }
        engine->render(); // buffers, effect and texture are made once, before timing
        fixture.fake.setRecording(false);
    }

    ~Scene() {
        engine.reset();
        fixture.shaders->clear();
        fixture.textures->clear();
    }
};

void BM_RenderFrame(benchmark::State& state) {
    Scene scene;
    for (auto _ : state) {
        benchmark::DoNotOptimize(scene.engine->render());
    }
    state.counters["per_mesh_ns"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kMeshes,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_RenderFrame_Baseline(benchmark::State& state) {
    Scene scene;
    RefPtr<d3d::IDirect3D9> direct3d =
        RefPtr<d3d::IDirect3D9>::adopt(d3d::Direct3DCreate9(d3d::D3D_SDK_VERSION));
    d3d::D3DPRESENT_PARAMETERS parameters{};
    RefPtr<d3d::IDirect3DDevice9> device;
    // A device of its own, drawing one shared pair of buffers with one effect: the calls alone.
    direct3d->CreateDevice(0, d3d::D3DDEVTYPE_HAL, nullptr, d3d::D3DCREATE_HARDWARE_VERTEXPROCESSING,
                           &parameters, device.put());
    const d3d::D3DVERTEXELEMENT9 elements[] = {
        {0, 0, d3d::D3DDECLTYPE_FLOAT3, d3d::D3DDECLMETHOD_DEFAULT, d3d::D3DDECLUSAGE_POSITION, 0},
        d3d::D3DDECL_END_ELEMENT};
    RefPtr<d3d::IDirect3DVertexDeclaration9> declaration;
    device->CreateVertexDeclaration(elements, declaration.put());
    device->SetVertexDeclaration(declaration.get());
    RefPtr<d3d::ID3DXEffect> effect = scene.fixture.shaders->getEffect(device.get(), "MeshGloss.fx");
    RefPtr<d3d::IDirect3DVertexBuffer9> vertices;
    device->CreateVertexBuffer(432, 0, 0, d3d::D3DPOOL_DEFAULT, vertices.put(), nullptr);
    RefPtr<d3d::IDirect3DIndexBuffer9> indices;
    device->CreateIndexBuffer(6, 0, d3d::D3DFMT_INDEX16, d3d::D3DPOOL_DEFAULT, indices.put(), nullptr);
    for (auto _ : state) {
        device->Clear(0, nullptr, 7, 0, 1.0f, 0);
        device->BeginScene();
        for (int i = 0; i < kMeshes; ++i) {
            device->SetStreamSource(0, vertices.get(), 0, 144);
            device->SetIndices(indices.get());
            d3d::UINT passes = 0;
            effect->Begin(&passes, 0);
            effect->BeginPass(0);
            effect->CommitChanges();
            device->DrawIndexedPrimitive(d3d::D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1);
            effect->EndPass();
            effect->End();
        }
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
    }
    effect.reset();
    scene.fixture.shaders->clear();
    scene.fixture.textures->clear();
}

} // namespace

BENCHMARK(BM_RenderFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenderFrame_Baseline)->Unit(benchmark::kMicrosecond);
