#include "qpx_plugin.h"

#include <gtest/gtest.h>

#include <cstddef>

extern "C" {
size_t QpxSdkC11_ResultSize(void);
size_t QpxSdkC11_Offset(int field);
int QpxSdkC11_HasService(const QpxHostServices* host, int which);
}
std::size_t QpxSdkCxx20_ResultSize();
std::size_t QpxSdkCxx20_HostSize();
int QpxSdkCxx20_HasListServices(const QpxHostServices* host);

namespace {

int32_t Post(QpxWindow*, uint32_t, uintptr_t, intptr_t)
{
    return 1;
}

} // namespace

TEST(SdkLayout, OperationResultIsTheSameIn_C_AndCxx)
{
    EXPECT_EQ(QpxSdkC11_ResultSize(), 1780u);
    EXPECT_EQ(QpxSdkCxx20_ResultSize(), 1780u);
    const size_t want[] = {0, 4, 8, 12, 1012, 1268, 1524};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(QpxSdkC11_Offset(i), want[i]) << "field " << i;
    EXPECT_EQ(QpxSdkC11_Offset(7), 16u);
}

TEST(SdkLayout, HostTableHasTheSameLayoutInBothLanguages)
{
    EXPECT_EQ(QpxSdkC11_Offset(10), sizeof(QpxHostServices));
    EXPECT_EQ(QpxSdkCxx20_HostSize(), sizeof(QpxHostServices));
    EXPECT_EQ(QpxSdkC11_Offset(8), offsetof(QpxHostServices, PostPageMessage));
    EXPECT_EQ(QpxSdkC11_Offset(9), offsetof(QpxHostServices, GridAddTextEditor));
    // The size field leads and every service follows it.
    EXPECT_EQ(offsetof(QpxHostServices, size), 0u);
    EXPECT_EQ(offsetof(QpxHostServices, PostPageMessage), 8u);
}

TEST(SdkLayout, HasServiceHonoursTheTableSize)
{
    QpxHostServices host{};
    host.PostPageMessage = &Post;
    host.GridClearEditors = [](QpxList*) -> int32_t { return 1; };
    host.ListDeleteAllRows = [](QpxList*) -> int32_t { return 1; };
    host.GridAddTextEditor = [](QpxList*, int32_t, int32_t, const char*, int32_t, int32_t) -> int32_t {
        return 1;
    };

    host.size = sizeof host;
    EXPECT_EQ(QpxSdkC11_HasService(&host, 0), 1);
    EXPECT_EQ(QpxSdkC11_HasService(&host, 1), 1);
    EXPECT_EQ(QpxSdkCxx20_HasListServices(&host), 1);
    EXPECT_TRUE(QPX_HAS_SERVICE(&host, GridAddTextEditor));

    // A host of version 1, whose table ends with GridClearEditors.
    host.size = offsetof(QpxHostServices, GridAddTextEditor);
    EXPECT_EQ(QpxSdkC11_HasService(&host, 1), 1);
    EXPECT_FALSE(QPX_HAS_SERVICE(&host, GridAddTextEditor));

    // An older host whose table ends before the grid editors.
    host.size = offsetof(QpxHostServices, GridAddComboEditor);
    EXPECT_EQ(QpxSdkC11_HasService(&host, 0), 1);
    EXPECT_EQ(QpxSdkC11_HasService(&host, 1), 0);
    EXPECT_EQ(QpxSdkCxx20_HasListServices(&host), 1);

    host.size = offsetof(QpxHostServices, ListDeleteAllRows);
    EXPECT_EQ(QpxSdkCxx20_HasListServices(&host), 0);

    host.size = sizeof host;
    host.PostPageMessage = nullptr;
    EXPECT_EQ(QpxSdkC11_HasService(&host, 0), 0);
    EXPECT_EQ(QpxSdkC11_HasService(nullptr, 0), 0);
}
