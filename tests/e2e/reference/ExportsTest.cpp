// The reference plug-in as the catalogue sees it: its query exports, its picture, and a library
// that loads, unloads and loads again with fresh state.
#include "RefHarness.h"
#include "platform/Module.h"

#include <gtest/gtest.h>

TEST(RefExports, QueryExportsAndPicture)
{
    CRefPlugin plugin;
    HMODULE m = ModuleLoad(plugin.Path());
    ASSERT_NE(m, nullptr);
    auto kind = ModuleFunction<PFN_GetModelKind>(m, QPX_SYM_MODEL_KIND);
    auto ver = ModuleFunction<PFN_GetSupportBINVersion>(m, QPX_SYM_SUPPORT_BIN_VERSION);
    auto image = ModuleFunction<PFN_GetModelImage>(m, QPX_SYM_MODEL_IMAGE);
    ASSERT_TRUE(kind && ver && image);
    EXPECT_STREQ(kind(), "KOVA Reference");
    EXPECT_STREQ(ver(), "VKQ100A1");
    EXPECT_STREQ(static_cast<const char*>(ModuleSymbol(m, QPX_SYM_FILE_VERSION)), "1, 0, 0, 1");
    const QpxImage* img = image();
    ASSERT_NE(img, nullptr);
    EXPECT_LE(img->width, 155);
    EXPECT_LE(img->height, 303);
    EXPECT_GE(img->stride, 4 * img->width);
    // Drawn, not blank: a transparent corner and an opaque body.
    EXPECT_EQ(img->pixels[0] >> 24, 0u);
    EXPECT_EQ(img->pixels[(img->height / 2) * (img->stride / 4) + img->width / 2] >> 24, 0xFFu);
    EXPECT_NE(ModuleSymbol(m, QPX_SYM_RELEASE_RS), nullptr);
    EXPECT_NE(ModuleSymbol(m, QPX_SYM_SRC), nullptr);
    EXPECT_NE(ModuleSymbol(m, QPX_SYM_REFURBISH), nullptr);
    ModuleFree(m);
}
