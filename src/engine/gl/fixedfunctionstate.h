#pragma once

#include "engine/d3d/d3d9types.h"
#include "engine/d3d/d3dxmath.h"

#include <array>

// What Direct3D 9's fixed-function pipeline draws with, in Direct3D's own values, as the native
// device holds it: the part of the device state a stage runs without a shader of its own. The
// defaults are Direct3D's after device creation.
struct FixedFunctionState {
    static constexpr int kLights = 8;
    static constexpr int kStages = 8;

    struct TextureStage {
        // D3DTEXTUREOP: stage 0 modulates texture and diffuse, the others are disabled.
        d3d::DWORD colorOp = 1;   // D3DTOP_DISABLE
        d3d::DWORD colorArg0 = 1; // D3DTA_CURRENT
        d3d::DWORD colorArg1 = 2; // D3DTA_TEXTURE
        d3d::DWORD colorArg2 = 1; // D3DTA_CURRENT
        d3d::DWORD alphaOp = 1;   // D3DTOP_DISABLE
        d3d::DWORD alphaArg0 = 1; // D3DTA_CURRENT
        d3d::DWORD alphaArg1 = 2; // D3DTA_TEXTURE
        d3d::DWORD alphaArg2 = 1; // D3DTA_CURRENT
        d3d::DWORD resultArg = 1; // D3DTA_CURRENT
        d3d::DWORD texCoordIndex; // the stage's own number
        bool textured = false;    // a texture is bound to the stage
        // D3DTSS_CONSTANT: the colour that D3DTA_CONSTANT reads.
        d3d::D3DCOLOR constant = 0;
    };

    FixedFunctionState() {
        for (int i = 0; i < kStages; ++i) {
            stages[static_cast<std::size_t>(i)].texCoordIndex = static_cast<d3d::DWORD>(i);
        }
        stages[0].colorOp = 4; // D3DTOP_MODULATE
        stages[0].alphaOp = 2; // D3DTOP_SELECTARG1
    }

    // D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION (row vectors, as D3DX builds them); identity at first.
    d3d::D3DXMATRIX world{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    d3d::D3DXMATRIX view{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    d3d::D3DXMATRIX projection{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    // Lighting render states.
    bool lighting = true;                  // D3DRS_LIGHTING
    bool specularEnable = false;           // D3DRS_SPECULARENABLE
    bool normalizeNormals = false;         // D3DRS_NORMALIZENORMALS
    bool localViewer = true;               // D3DRS_LOCALVIEWER
    bool colorVertex = true;               // D3DRS_COLORVERTEX
    d3d::D3DCOLOR ambient = 0;             // D3DRS_AMBIENT
    d3d::DWORD diffuseMaterialSource = 1;  // D3DMCS_COLOR1
    d3d::DWORD specularMaterialSource = 2; // D3DMCS_COLOR2
    d3d::DWORD ambientMaterialSource = 0;  // D3DMCS_MATERIAL
    d3d::DWORD emissiveMaterialSource = 0; // D3DMCS_MATERIAL
    d3d::D3DMATERIAL9 material = {};
    std::array<d3d::D3DLIGHT9, kLights> lights = {};
    std::array<bool, kLights> lightEnabled = {};

    // Texture stages and D3DRS_TEXTUREFACTOR.
    std::array<TextureStage, kStages> stages;
    d3d::D3DCOLOR textureFactor = 0xFFFFFFFF;

    // What the vertex declaration feeds: a normal, vertex colours 0 and 1, texture coordinates 0 ..
    // texCoords - 1 (all of the declaration's usage-index order).
    bool hasNormal = false;
    bool hasColor0 = false;
    bool hasColor1 = false;
    unsigned texCoords = 0;
};
