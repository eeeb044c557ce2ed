// The simulator's request handling against any requests a program could send, one handset per
// input: the diagnostic dispatcher (NV items, security, PRL upload, the EFS2 file system on a
// scratch folder) and, after 0x3A, the download protocols. Input: requests, each | length (u16,
// little-endian) | payload |. Every request gets an answer; a diagnostic answer repeats the
// request's code or names an error.
#include "CommandDispatcher.h"
#include "DownloadMode.h"
#include "FuzzSupport.h"
#include "serial/DiagCodec.h"
#include "serial/DiagProtocol.h"

namespace {

bool ErrorCode(quint8 code)
{
    switch (code) {
    case ERR_BAD_COMMAND:
    case ERR_BAD_PARAMETER:
    case ERR_BAD_LENGTH:
    case ERR_BAD_MODE:
    case ERR_SPC_LOCKED:
    case ERR_PASSWORD_NEEDED:
        return true;
    default:
        return false;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, size_t size)
{
    if (size > 65536)
        return 0;
    const QString root = qpxfuzz::WorkFolder() + QStringLiteral("/efs");
    QDir(root).removeRecursively();
    // A factory-fresh handset per input (built once: its factory values take a while).
    static const CHandsetState factory{SHandsetProfile()};
    CHandsetState state = factory;
    CEfs2Server efs(root);
    CCommandDispatcher dispatcher(state, &efs);
    dispatcher.SetBadStore(size % 3 == 1, size % 3 == 2);
    CDownloadMode download(state);
    const quint8* p = data;
    const quint8* end = data + size;
    while (end - p >= 2) {
        const size_t n = qMin<size_t>(p[0] | (p[1] << 8), static_cast<size_t>(end - p - 2));
        p += 2;
        const QByteArray request(reinterpret_cast<const char*>(p), static_cast<qsizetype>(n));
        p += n;
        if (request.isEmpty())
            continue;
        if (download.State() != CDownloadMode::STATE_DIAG) {
            download.Handle(request);
            if (download.TakeReset())
                state.Reset();
            continue;
        }
        const QByteArray answer = dispatcher.Dispatch(request);
        if (answer.isEmpty() ||
            (answer.at(0) != request.at(0) && !ErrorCode(static_cast<quint8>(answer.at(0)))))
            std::abort();
        if (answer.size() > CFrameDecoder::MAX_PAYLOAD)
            std::abort();
        if (state.TakeDownloadRequest())
            download.Enter();
        state.TakeResetRequest();
    }
    return 0;
}
