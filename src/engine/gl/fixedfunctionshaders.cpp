#include "engine/gl/fixedfunctionshaders.h"

#include "engine/gl/opengl.h"

// A first stand-in: transforms, white vertices, the first stage's texture.
GlslStage FixedFunctionShaders::vertexStage(const FixedFunctionState&) {
    GlslStage s;
    s.source =
        "#version 120\nattribute vec4 ffp_position;\nattribute vec4 ffp_texcoord0;\nuniform mat4 ffp_wvp;\n"
        "void main()\n{\n\tgl_Position = ffp_wvp * ffp_position;\n\tgl_FrontColor = vec4(1.0);\n"
        "\tgl_TexCoord[0] = ffp_texcoord0;\n}\n";
    s.attributes = {{"ffp_position", 0, 0}, {"ffp_texcoord0", 5, 0}};
    return s;
}

GlslStage FixedFunctionShaders::pixelStage(const FixedFunctionState& state) {
    GlslStage s;
    if (state.stages[0].textured) {
        s.source = "#version 120\nuniform sampler2D ffp_sampler_0;\nvoid main()\n{\n"
                   "\tgl_FragColor = texture2D(ffp_sampler_0, gl_TexCoord[0].xy) * gl_Color;\n}\n";
        s.samplers = {{"ffp_sampler_0", 0}};
    } else {
        s.source = "#version 120\nvoid main()\n{\n\tgl_FragColor = gl_Color;\n}\n";
    }
    return s;
}

std::string FixedFunctionShaders::vertexKey(const FixedFunctionState&) {
    return "v";
}

std::string FixedFunctionShaders::pixelKey(const FixedFunctionState& state) {
    return state.stages[0].textured ? "t" : "c";
}

void FixedFunctionShaders::setUniforms(unsigned program, const FixedFunctionState& state) {
    d3d::D3DXMATRIX wv;
    d3d::D3DXMATRIX wvp;
    d3d::D3DXMatrixMultiply(&wv, &state.world, &state.view);
    d3d::D3DXMatrixMultiply(&wvp, &wv, &state.projection);
    // Row vectors times a matrix read as OpenGL's column-major mat4 times a column vector.
    glUniformMatrix4fv(glGetUniformLocation(program, "ffp_wvp"), 1, GL_FALSE, &wvp.m[0][0]);
}
