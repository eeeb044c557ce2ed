#include "qpx_plugin.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>

extern "C" {
size_t QpxSdkC11_HostLayout(int which);
int QpxSdkC11_HasService(const QpxHostServices* host, int which);
}
std::size_t QpxSdkCxx20_HostSize();
int QpxSdkCxx20_HasListServices(const QpxHostServices* host);

// The host table has one layout in C, in C++20 and in the program (the record's is fixed at compile
// time); a service counts only when the host's table is long enough to hold it and it is set.
TEST(SdkLayout, HasServiceHonoursTheTableSize)
{
    EXPECT_EQ(QpxSdkC11_HostLayout(0), offsetof(QpxHostServices, GridAddTextEditor));
    EXPECT_EQ(QpxSdkC11_HostLayout(1), sizeof(QpxHostServices));
    EXPECT_EQ(QpxSdkCxx20_HostSize(), sizeof(QpxHostServices));
    QpxHostServices host{};
    host.PostPageMessage = [](QpxWindow*, uint32_t, uintptr_t, intptr_t) -> int32_t { return 1; };
    host.GridClearEditors = [](QpxList*) -> int32_t { return 1; };
    host.ListDeleteAllRows = [](QpxList*) -> int32_t { return 1; };
    host.GridAddTextEditor = [](QpxList*, int32_t, int32_t, const char*, int32_t, int32_t) -> int32_t {
        return 1;
    };
    const struct
    {
        size_t size;
        int post, grid, list, text; // what the C and C++ plug-ins see
    } cases[] = {
        {sizeof host, 1, 1, 1, 1},
        {offsetof(QpxHostServices, GridAddTextEditor), 1, 1, 1, 0}, // a host of version 1
        {offsetof(QpxHostServices, GridAddComboEditor), 1, 0, 1, 0},
        {offsetof(QpxHostServices, ListDeleteAllRows), 1, 0, 0, 0},
    };
    for (const auto& c : cases) {
        host.size = static_cast<uint32_t>(c.size);
        EXPECT_EQ((std::array<int, 4>{QpxSdkC11_HasService(&host, 0), QpxSdkC11_HasService(&host, 1),
                                      QpxSdkCxx20_HasListServices(&host),
                                      QPX_HAS_SERVICE(&host, GridAddTextEditor) ? 1 : 0}),
                  (std::array<int, 4>{c.post, c.grid, c.list, c.text}))
            << c.size;
    }
    host.size = sizeof host;
    host.PostPageMessage = nullptr;
    EXPECT_TRUE(QpxSdkC11_HasService(&host, 0) == 0 && QpxSdkC11_HasService(nullptr, 0) == 0);
}
