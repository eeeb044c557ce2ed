// A service script of any bytes: the reference plug-in's parser, which reads the whole script
// (and the host files it names, relative to its folder) before the handset is touched.
#include "FuzzSupport.h"
#include "Operations.h"

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, size_t size)
{
    if (size > 65536)
        return 0;
    // A host file the script can name.
    static const bool hostFile = [] {
        const quint8 bytes[] = {'p', 'u', 't', '\n'};
        qpxfuzz::InputFile("file.bin", bytes, sizeof bytes);
        return true;
    }();
    (void)hostFile;
    const QString path = qpxfuzz::InputFile("script.txt", data, size);
    qpxfuzz::RunOperation([&path](CPluginJob& job) { return RunScript(job, path); });
    return 0;
}
