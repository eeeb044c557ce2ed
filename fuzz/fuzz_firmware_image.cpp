// A firmware image file of any bytes: the reference plug-in's header, length, check value and
// software family checks, which must refuse the file before the handset is touched.
#include "FuzzSupport.h"
#include "Operations.h"

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, size_t size)
{
    if (size > 65536)
        return 0;
    const QString path = qpxfuzz::InputFile("image.bin", data, size);
    qpxfuzz::RunOperation([&path](CPluginJob& job) { return RunBin(job, path); });
    return 0;
}
