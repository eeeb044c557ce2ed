// The reference plug-in's EFS2 client against a handset that answers anything: each request
// takes the next answer from the input until it runs out (then the handset is silent). Input:
// answers, each | flags (u8, bit 0: starts with the request's own four header bytes, so the
// client reads on into the body) | length (u16, little-endian) | bytes |.
#include "Efs2Client.h"
#include "EfsCheck.h"
#include "FuzzSupport.h"

namespace {

class CScriptedHandset
{
public:
    CScriptedHandset(const quint8* data, size_t size) : m_p(data), m_end(data + size) {}

    bool Answer(const QByteArray& request, QByteArray& answer)
    {
        if (m_end - m_p < 3)
            return false;
        const quint8 flags = m_p[0];
        const size_t n = qMin<size_t>(m_p[1] | (m_p[2] << 8), static_cast<size_t>(m_end - m_p - 3));
        m_p += 3;
        answer = (flags & 1) ? request.left(4) : QByteArray();
        answer.append(reinterpret_cast<const char*>(m_p), static_cast<qsizetype>(n));
        m_p += n;
        return true;
    }

private:
    const quint8* m_p;
    const quint8* m_end;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, size_t size)
{
    if (size > 65536)
        return 0;
    CScriptedHandset handset(data, size);
    CDiagLink link;
    link.SetResponder([&handset](const QByteArray& request, QByteArray& answer) {
        return handset.Answer(request, answer);
    });
    CEfs2Client efs(link);
    efs.Hello();
    // Whatever the handset announces, a piece and the requests in flight stay within the client's
    // own limits.
    if (efs.ChunkSize() <= 0 || efs.ChunkSize() > CEfs2Client::MAX_READ || efs.Window() <= 0 ||
        efs.Window() > CEfs2Client::MAX_WINDOW)
        std::abort();
    qint32 err = 0, mode = 0, fileSize = 0;
    QList<CEfs2Client::SEntry> entries;
    efs.List("/pim", entries, err);
    efs.Stat("/pim/phonebook.qpb", mode, fileSize, err);
    QByteArray file;
    efs.ReadFile("/pim/phonebook.qpb", file, err);
    efs.MakePath("/roaming/a/b", err);
    efs.Unlink("/roaming/eri_data.bin", err);
    // A verified write: the file goes out in pieces, is read back and compared.
    const QByteArray content(2500, 'q');
    qpxfuzz::RunOperation([&](CPluginJob& job) {
        return WriteFileVerified(job, efs, "/roaming/eri_data.bin", content, QStringLiteral("ERI"),
                                 QStringLiteral("differs"));
    });
    return 0;
}
