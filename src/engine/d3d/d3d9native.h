#pragma once

// Windows only: the real Direct3D device behind one of ours, for code that works beside the
// renderer on the real API (reading a frame back, for one).

struct IDirect3DDevice9;

namespace d3d {

class IDirect3DDevice9;

// The real device our device wraps, or none when it is not one of the Direct3D 9 backend's.
::IDirect3DDevice9* nativeDevice(IDirect3DDevice9* device);

} // namespace d3d
