#pragma once

#include <string>

// Procedural models of the demo data folder, as .ALO bytes.
class DemoModels {
public:
    // A small ship: a hull, two engine pods and a bridge tower on a skeleton of four bones, each
    // mesh with another of the demo effects.
    static std::string ship();
    // A textured sphere of radius 50 at the origin.
    static std::string sphere();
    // Odd cases a viewer must cope with: a mesh with an empty name, one without a material,
    // and one without any geometry.
    static std::string oddities();
};
