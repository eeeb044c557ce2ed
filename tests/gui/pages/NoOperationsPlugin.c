/* A model plug-in that only answers the queries: it exports no operation at all, so every page
 * finds its operation missing. */
#include "qpx_plugin.h"

const char* GetModelKind(void)
{
    return "NO-OPERATIONS";
}

const char* GetSupportBINVersion(void)
{
    return "V12";
}
