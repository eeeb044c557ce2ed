// Status and version answers of any length: the texts the Information page and the version list
// show. Input: one byte that picks a cut, then the answer. Cutting an answer short may only empty
// a field, never change it: a field is formatted from bytes inside the answer or not at all.
#include "FuzzSupport.h"
#include "handset/HandsetFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, size_t size)
{
    if (size < 1 || size > 4096)
        return 0;
    const quint8* answer = data + 1;
    const int len = static_cast<int>(size - 1);
    const int cut = len == 0 ? 0 : data[0] % (len + 1);

    const QStringList status = StatusValueTexts(answer, len);
    const QStringList statusCut = StatusValueTexts(answer, cut);
    if (status.size() != 11 || statusCut.size() != 11)
        std::abort();
    for (int i = 0; i < 11; ++i)
        if (!statusCut.at(i).isEmpty() && statusCut.at(i) != status.at(i))
            std::abort();

    const SVersionTexts v = VersionTexts(answer, len);
    const SVersionTexts c = VersionTexts(answer, cut);
    const QString full[] = {v.strCompileDate, v.strCompileTime, v.strReleaseDate, v.strReleaseTime,
                            v.strSwVersion,   v.strMobileModel, v.strSlotCycle,   v.strMsmVersion};
    const QString shortened[] = {c.strCompileDate, c.strCompileTime, c.strReleaseDate, c.strReleaseTime,
                                 c.strSwVersion,   c.strMobileModel, c.strSlotCycle,   c.strMsmVersion};
    for (int i = 0; i < 8; ++i)
        if (!shortened[i].isEmpty() && shortened[i] != full[i])
            std::abort();

    const QString dir = SoftwareVersionDirectory(answer, len);
    if (!HoldsSoftwareVersionDirectory(len) && !dir.isEmpty())
        std::abort();
    if (!SoftwareVersionDirectory(answer, cut).isEmpty() && SoftwareVersionDirectory(answer, cut) != dir)
        std::abort();
    return 0;
}
