/* The SDK header as a plug-in written in C11 sees it. Built with -std=c11 -Wall -Wextra -pedantic
 * -Werror; the functions report the C compiler's view of the layout to the test. */
#include "qpx_plugin.h"

size_t QpxSdkC11_ResultSize(void);
size_t QpxSdkC11_Offset(int field);
int QpxSdkC11_HasService(const QpxHostServices* host, int which);

size_t QpxSdkC11_ResultSize(void)
{
    return sizeof(OperationResult);
}

size_t QpxSdkC11_Offset(int field)
{
    switch (field) {
    case 0:
        return offsetof(OperationResult, nResult);
    case 1:
        return offsetof(OperationResult, nMinutes);
    case 2:
        return offsetof(OperationResult, fSeconds);
    case 3:
        return offsetof(OperationResult, szMessage);
    case 4:
        return offsetof(OperationResult, szStatus);
    case 5:
        return offsetof(OperationResult, szFileName);
    case 6:
        return offsetof(OperationResult, szAddress);
    case 7:
        return sizeof(QpxRect);
    case 8:
        return offsetof(QpxHostServices, PostPageMessage);
    case 9:
        return offsetof(QpxHostServices, GridAddTextEditor);
    case 10:
        return sizeof(QpxHostServices);
    default:
        return (size_t)-1;
    }
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
