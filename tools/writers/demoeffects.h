#pragma once

#include <map>
#include <string>

// Our own compiled effects, keyed by the names of the effects that the game's models name most
// (MeshBumpColorize, MeshGloss, MeshAlpha, ...; the file is NAME.fxo), in the shapes of the game's
// own: shader variables named by the passes, techniques from the richest (vs_1_1 with ps_1_1 or
// ps_2_0) to fallbacks (ps_1_4, the fixed-function pipeline), MeshAlpha fixed-function alone with
// its transforms, light and material computed by expressions, MeshAdditive's shaders written in
// its pass. Each declares the material parameters such models set for it and takes the scene
// through the renderer's semantics: the matrices WORLDVIEWPROJECTION, WORLD, VIEW and PROJECTION,
// the light DIR_LIGHT_VEC_0, DIR_LIGHT_DIFFUSE_0, DIR_LIGHT_SPECULAR_0 and LIGHT_SCALE,
// EYE_POSITION and, for scrolling, TIME. Shaders read the vertex as position, normal and first
// texture coordinate.
std::map<std::string, std::string> buildDemoEffects();
