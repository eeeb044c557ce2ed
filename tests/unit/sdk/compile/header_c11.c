/* The SDK header as a plug-in written in C11 sees it. Built with -std=c11 -Wall -Wextra -pedantic
 * -Werror; the fixed layout is checked here, the rest reported to the test. */
#include "qpx_plugin.h"

size_t QpxSdkC11_HostLayout(int which);
int QpxSdkC11_HasService(const QpxHostServices* host, int which);

/* The result record's layout is fixed: plug-ins built against any header fill it. */
_Static_assert(sizeof(OperationResult) == 1780 && offsetof(OperationResult, nMinutes) == 4 &&
                   offsetof(OperationResult, fSeconds) == 8 && offsetof(OperationResult, szMessage) == 12 &&
                   offsetof(OperationResult, szStatus) == 1012 &&
                   offsetof(OperationResult, szFileName) == 1268 &&
                   offsetof(OperationResult, szAddress) == 1524,
               "OperationResult");
_Static_assert(sizeof(QpxRect) == 16 && offsetof(QpxHostServices, PostPageMessage) == 8, "QpxHostServices");

/* The host table grows: the C view of its end, compared with the C++ view by the test. */
size_t QpxSdkC11_HostLayout(int which)
{
    return which == 0 ? offsetof(QpxHostServices, GridAddTextEditor) : sizeof(QpxHostServices);
}

int QpxSdkC11_HasService(const QpxHostServices* host, int which)
{
    return which == 0 ? QPX_HAS_SERVICE(host, PostPageMessage) : QPX_HAS_SERVICE(host, GridClearEditors);
}

/* Every export prototype must agree with its pointer type (unevaluated, so nothing is linked). */
#define QPX_SAME_TYPE(fn, type) _Generic(&fn, type : 1, default : 0)
_Static_assert(QPX_SAME_TYPE(ModelInterface_Upgrade, PFN_ModelInterface_Upgrade), "Upgrade");
_Static_assert(QPX_SAME_TYPE(ModelInterface_Bin, PFN_ModelInterface_Bin), "Bin");
_Static_assert(QPX_SAME_TYPE(ModelInterface_Src, PFN_ModelInterface_Src), "Src");
_Static_assert(QPX_SAME_TYPE(ModelInterface_Prl, PFN_ModelInterface_Prl), "Prl");
_Static_assert(QPX_SAME_TYPE(ModelInterface_Eri, PFN_ModelInterface_Eri), "Eri");
_Static_assert(QPX_SAME_TYPE(ModelInterface_Refurbish, PFN_ModelInterface_Refurbish), "Refurbish");
_Static_assert(QPX_SAME_TYPE(ModelInterface_PhoneBook, PFN_ModelInterface_PhoneBook), "PhoneBook");
_Static_assert(QPX_SAME_TYPE(ModelInterface_Settings, PFN_ModelInterface_Settings), "Settings");
_Static_assert(QPX_SAME_TYPE(ModelInterface_Transfer, PFN_ModelInterface_Transfer), "Transfer");
_Static_assert(QPX_SAME_TYPE(GetModelKind, PFN_GetModelKind), "GetModelKind");
_Static_assert(QPX_SAME_TYPE(GetSupportBINVersion, PFN_GetSupportBINVersion), "GetSupportBINVersion");
_Static_assert(QPX_SAME_TYPE(GetModelImage, PFN_GetModelImage), "GetModelImage");
_Static_assert(QPX_SAME_TYPE(ReleaseRs, PFN_ReleaseRs), "ReleaseRs");
_Static_assert(sizeof QpxFileVersion[0] == 1, "QpxFileVersion is a char array");
