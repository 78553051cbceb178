#include "glfixture.h"

#include <gtest/gtest.h>

using namespace d3d;

TEST(EglSurface, DrawsOnAfterAnotherSurfaceIsGone) {
    GlFixture f;
    RefPtr<ID3DXEffect> effect = f.effect(GlFixture::flatEffect());
    ASSERT_TRUE(effect);
    {
        // Both share the process's one EGL display.
        EglSurface other(8, 8);
        other.makeCurrent();
    }
    f.clear();
    f.drawRectangle(*effect, 3.5f, 3.5f, 9.5f, 9.5f);
    EXPECT_EQ(f.rgb(5, 5), 0xFFFFFFu);
    EXPECT_EQ(f.rgb(12, 12), 0u);
}
