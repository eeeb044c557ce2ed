// The SDK header as a plug-in written in C++20 sees it (-std=c++20 -Wall -Wextra -pedantic -Werror,
// no project flags, no Qt).
#include "qpx_plugin.h"

#include <cstring>
#include <type_traits>

static_assert(std::is_standard_layout_v<OperationResult> && sizeof(OperationResult) == 1780);
static_assert(std::is_trivially_copyable_v<OperationResult>);
static_assert(std::is_same_v<decltype(&ModelInterface_Settings), PFN_ModelInterface_Settings>);
static_assert(std::is_same_v<decltype(&ModelInterface_PhoneBook), PFN_ModelInterface_PhoneBook>);
static_assert(std::is_same_v<decltype(&ModelInterface_Transfer), PFN_ModelInterface_Transfer>);
static_assert(std::is_same_v<decltype(&ModelInterface_Upgrade), PFN_ModelInterface_Upgrade>);
static_assert(std::is_same_v<decltype(&ModelInterface_Prl), PFN_ModelInterface_Prl>);
static_assert(std::is_same_v<decltype(&GetModelImage), PFN_GetModelImage>);
static_assert(std::is_same_v<decltype(&ReleaseRs), PFN_ReleaseRs>);
static_assert(WM_PLUGIN_NOTIFY == 0x7401 && PLUGIN_DONE == 0xF001);

std::size_t QpxSdkCxx20_HostSize()
{
    return sizeof(QpxHostServices);
}

int QpxSdkCxx20_HasListServices(const QpxHostServices* host)
{
    return QPX_HAS_SERVICE(host, ListDeleteAllRows) ? 1 : 0;
}
