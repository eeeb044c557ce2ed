// A PRL file of any bytes: the reference plug-in's check of the image, its texts, and a PRL write
// up to the handset.
#include "FuzzSupport.h"
#include "Operations.h"
#include "serial/Checksums.h"
#include "serial/PrlImage.h"

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, size_t size)
{
    if (size > prl::MAX_SIZE + 16)
        return 0;
    const QByteArray image = qpxfuzz::Bytes(data, size);
    const prl::ECheck r = prl::Check(image);
    const QString text = prl::CheckText(r, image);
    if ((r == prl::PRL_OK) != text.isEmpty())
        std::abort();
    if (r == prl::PRL_OK && (prl::SizeField(image) != size || PrlCrc16(data, static_cast<int>(size) - 2) !=
                                                                  ((data[size - 2] << 8) | data[size - 1])))
        std::abort();
    prl::PrlId(image);

    const QString path = qpxfuzz::InputFile("image.prl", data, size);
    qpxfuzz::RunOperation([&path](CPluginJob& job) { return RunPrlWrite(job, 0, path); });
    return 0;
}
