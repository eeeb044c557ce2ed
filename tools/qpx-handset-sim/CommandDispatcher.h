#pragma once
// Answers one diagnostic request (an unframed payload, command code first) from the handset state.
//
//   code  command         request length   answer
//   0x00  version         1                55 bytes
//   0x01  ESN             1                01 + ESN (u32)
//   0x0C  status          1                49 bytes
//   0x26  NV read         >= 133           133 bytes: 26, item, 128 data bytes, NV status
//                                          (5 with zero data for an item never written); item 85
//                                          while locked and the SPC is hidden: 42 + copy
//   0x27  NV write        >= 133           the request echoed with the NV status (7 read-only);
//                                          an SPC-protected item while locked: 42 + copy, while
//                                          the security password is still needed: 47 + copy
//   0x29  mode change     3                echo; 1 offline, 4 online, 2 reset (offline only, else 18)
//   0x3A  download        1                echo, then the DMSS download state (DownloadMode.h)
//   0x41  SPC             7                41 01 unlocked / 41 00 wrong code (or locked out)
//   0x46  password        9                46 01 accepted (also when the handset has none) / 46 00
//   0x48  PRL write       6..126           48 + status (0 more expected, 1 stored, 2 sequence,
//                                          3 overflow); online: 18, locked: 42, password: 47
//   0x49  PRL read        3                128 bytes: 49, status, NV status, seq, more, bits, data
//   0x4B  subsystem       >= 4             subsystem 0x13 (EFS2) only, see Efs2Server.h
//   0x8C  PRL version     2                8C, NAM, version (u16); NAM above 1: 14 + copy
//   anything else                          13 + copy of the request
//   known code, wrong length               15 + copy
// Copies after an error code are cut at 256 bytes.
#include "Efs2Server.h"
#include "HandsetState.h"
#include "serial/DiagProtocol.h"

#include <QByteArray>

class CCommandDispatcher
{
public:
    static constexpr int MAX_ERROR_COPY = 256;

    explicit CCommandDispatcher(CHandsetState& state, CEfs2Server* efs = nullptr)
        : m_state(state), m_pEfs(efs)
    {
    }

    // Memory faults: NV item and PRL writes are acknowledged as usual but stored with one byte
    // inverted (FaultInjector.h, bad-store).
    void SetBadStore(bool nv, bool prl);

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
    QByteArray NvWrite(const QByteArray& request) const;
    QByteArray ModeChange(const QByteArray& request) const;
    QByteArray Spc(const QByteArray& request) const;
    QByteArray Password(const QByteArray& request) const;
    QByteArray PrlWrite(const QByteArray& request) const;
    QByteArray PrlRead(const QByteArray& request) const;
    QByteArray Subsystem(const QByteArray& request) const;
    QByteArray Download(const QByteArray& request) const;

    CHandsetState& m_state;
    CEfs2Server* m_pEfs;
    bool m_bBadStoreNv = false;
    bool m_bBadStorePrl = false;
};
