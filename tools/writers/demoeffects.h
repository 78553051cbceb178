#pragma once

#include <map>
#include <string>

// Our own compiled effects, keyed by the names of the effects that the game's models name most
// (MeshBumpColorize, MeshGloss, MeshAlpha, ...; the file is NAME.fxo). Each declares the material
// parameters such models set for it and takes the scene through the renderer's semantics: the
// matrices WORLDVIEWPROJECTION and WORLD, the light DIR_LIGHT_VEC_0, DIR_LIGHT_DIFFUSE_0,
// DIR_LIGHT_SPECULAR_0 and LIGHT_SCALE, EYE_POSITION and, for scrolling, TIME. Shaders read the
// vertex as position, normal and first texture coordinate.
std::map<std::string, std::string> buildDemoEffects();
