#pragma once

#include <string>

// Procedural textures of the demo data folder, as .DDS bytes with their mip chains.
class DemoTextures {
public:
    // Grey hull plating with darker panel lines; tint shifts the colour (0 for the archived one).
    static std::string hull(int tint);
    // The hull plating's normal map: flat panels, their edges bevelled away from the surface.
    static std::string hullNormal();
    // Engine housing with bright blue exhaust stripes (DXT1).
    static std::string engine();
    // Ocean, land and ice bands of a small planet (DXT1).
    static std::string planet();
};
