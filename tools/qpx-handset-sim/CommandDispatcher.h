#pragma once
// Answers one diagnostic request (an unframed payload, command code first) from the handset state.
//
//   code  command         request length   answer
//   0x00  version         1                55 bytes
//   0x01  ESN             1                01 + ESN (u32)
//   0x0C  status          1                49 bytes
//   0x26  NV read         >= 133           133 bytes: 26, item, 128 data bytes, NV status
//                                          (5 with zero data for an item never written)
//   0x8C  PRL version     2                8C, NAM, version (u16); NAM above 1: 14 + copy
//   anything else                          13 + copy of the request
//   known code, wrong length               15 + copy
// Copies after an error code are cut at 256 bytes.
#include "HandsetState.h"

#include <QByteArray>

class CCommandDispatcher
{
public:
    static constexpr quint8 ERR_BAD_COMMAND = 0x13;
    static constexpr quint8 ERR_BAD_PARAMETER = 0x14;
    static constexpr quint8 ERR_BAD_LENGTH = 0x15;
    static constexpr int MAX_ERROR_COPY = 256;

    explicit CCommandDispatcher(CHandsetState& state) : m_state(state) {}

    // The response payload; never empty for a non-empty request.
    QByteArray Dispatch(const QByteArray& request) const;
    // Name of a command for the log, or "" when it is not one this handset knows.
    static const char* CommandName(quint8 code);

    static QByteArray ErrorResponse(quint8 error, const QByteArray& request);

private:
    using Handler = QByteArray (CCommandDispatcher::*)(const QByteArray&) const;
    struct SCommand
    {
        quint8 nCode;
        int nMinLength;
        int nMaxLength; // -1: no upper limit
        Handler handler;
        const char* pszName;
    };
    static const SCommand COMMANDS[];

    QByteArray Version(const QByteArray& request) const;
    QByteArray Esn(const QByteArray& request) const;
    QByteArray Status(const QByteArray& request) const;
    QByteArray NvRead(const QByteArray& request) const;
    QByteArray PrlVersion(const QByteArray& request) const;

    CHandsetState& m_state;
};
