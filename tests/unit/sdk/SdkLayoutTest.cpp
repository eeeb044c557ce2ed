#include "qpx_plugin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

extern "C" {
size_t QpxSdkC11_ResultSize(void);
size_t QpxSdkC11_Offset(int field);
int QpxSdkC11_HasService(const QpxHostServices* host, int which);
int32_t QpxSdkC11_Complete(QpxWindow* page, OperationResult* result);
}
std::size_t QpxSdkCxx20_ResultSize();
std::size_t QpxSdkCxx20_HostSize();
int QpxSdkCxx20_HasListServices(const QpxHostServices* host);

namespace {

struct SPosted
{
    QpxWindow* page;
    uint32_t msg;
    uintptr_t w;
    intptr_t l;
};
std::vector<SPosted> g_posted;

int32_t RecordPost(QpxWindow* page, uint32_t msg, uintptr_t w, intptr_t l)
{
    g_posted.push_back({page, msg, w, l});
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
    host.PostPageMessage = &RecordPost;
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

TEST(SdkLayout, C_PluginDeliversCompletionThroughThePage)
{
    QpxHostServices host{};
    host.size = sizeof host;
    host.version = QPX_HOST_SERVICES_VERSION;
    host.PostPageMessage = &RecordPost;
    QpxWindow page{&host};
    OperationResult result;
    std::memset(&result, 0x55, sizeof result);
    g_posted.clear();

    EXPECT_EQ(QpxSdkC11_Complete(&page, &result), 1);
    ASSERT_EQ(g_posted.size(), 1u);
    EXPECT_EQ(g_posted[0].page, &page);
    EXPECT_EQ(g_posted[0].msg, 0x7401u);
    EXPECT_EQ(g_posted[0].w, 0xF001u);
    const auto* seen = reinterpret_cast<const OperationResult*>(g_posted[0].l);
    EXPECT_EQ(seen, &result);
    EXPECT_LT(seen->nResult, 0);
    EXPECT_EQ(seen->nMinutes, 2);
    EXPECT_FLOAT_EQ(seen->fSeconds, 5.34f);
    EXPECT_STREQ(seen->szStatus, "done");

    // The same bytes read at the documented offsets.
    const auto* bytes = reinterpret_cast<const unsigned char*>(&result);
    int32_t minutes = 0;
    std::memcpy(&minutes, bytes + 4, 4);
    EXPECT_EQ(minutes, 2);
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes + 1012), "done");
}
