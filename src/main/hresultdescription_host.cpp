#include "main/hresultdescription.h"

#include <cstddef>

namespace {

struct Description {
    std::uint32_t code;
    const char* text;
};

// Stand-in for the DirectX SDK's table on platforms that lack it: the codes this
// program can meet, worded after the SDK's descriptions.
const Description kDescriptions[] = {
    {0x00000000u, "The function completed successfully"},
    {0x00000001u, "Call successful, but returned FALSE"},
    {0x80004001u, "Not implemented"},
    {0x80004002u, "No such interface supported"},
    {0x80004003u, "Invalid pointer"},
    {0x80004005u, "Undetermined error"},
    {0x8007000Eu, "Ran out of memory"},
    {0x80070057u, "An invalid parameter was passed to the returning function"},
    {0x88760818u, "Wrong texture format"},
    {0x88760819u, "Unsupported color operation"},
    {0x8876081Au, "Unsupported color arg"},
    {0x8876081Bu, "Unsupported alpha operation"},
    {0x8876081Cu, "Unsupported alpha arg"},
    {0x8876081Du, "Too many operations"},
    {0x8876081Eu, "Conflicting texture filter"},
    {0x8876081Fu, "Unsupported factor value"},
    {0x88760821u, "Conflicting render state"},
    {0x88760822u, "Unsupported texture filter"},
    {0x88760826u, "Conflicting texture palette"},
    {0x88760827u, "Driver internal error"},
    {0x8876017Cu, "Out of video memory"},
    {0x88760866u, "Not found"},
    {0x88760867u, "More data"},
    {0x88760868u, "Device lost"},
    {0x88760869u, "Device not reset"},
    {0x8876086Au, "Not available"},
    {0x8876086Bu, "Invalid device"},
    {0x8876086Cu, "Invalid call"},
    {0x8876086Du, "Driver invalid call"},
    {0x8876021Cu, "Was still drawing"},
    {0x88760B54u, "Cannot modify index buffer"},
    {0x88760B55u, "Invalid mesh"},
    {0x88760B56u, "Cannot attribute sort"},
    {0x88760B57u, "Skinning not supported"},
    {0x88760B58u, "Too many influences"},
    {0x88760B59u, "Invalid data"},
    {0x88760B5Au, "Loaded mesh has no data"},
    {0x88760B5Bu, "Duplicate named fragment"},
    {0x88760B5Cu, "Cannot remove last item"},
};

} // namespace

std::string describeHResult(std::int32_t result) {
    const auto code = static_cast<std::uint32_t>(result);
    for (const Description& d : kDescriptions) {
        if (d.code == code) {
            return d.text;
        }
    }
    return "n/a";
}
