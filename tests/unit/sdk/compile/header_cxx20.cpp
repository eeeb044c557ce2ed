// The SDK header as a plug-in written in C++20 sees it (-std=c++20 -Wall -Wextra -pedantic -Werror,
// no project flags, no Qt); the C object checks the export prototypes.
#include "qpx_plugin.h"

#include <cstring>
#include <type_traits>

static_assert(std::is_standard_layout_v<OperationResult> && sizeof(OperationResult) == 1780);
static_assert(std::is_trivially_copyable_v<OperationResult>);
static_assert(WM_PLUGIN_NOTIFY == 0x7401 && PLUGIN_DONE == 0xF001);

std::size_t QpxSdkCxx20_HostSize()
{
    return sizeof(QpxHostServices);
}

int QpxSdkCxx20_HasListServices(const QpxHostServices* host)
{
    return QPX_HAS_SERVICE(host, ListDeleteAllRows) ? 1 : 0;
}
