#pragma once
// The plug-in's side of the EFS2 file system (Efs2Protocol.h) over a CDiagLink.
//
//   every request: 4B 13 cc cc | body;  the answer repeats the 4 header bytes
//   whole-file helpers: OPEN → READ/WRITE in pieces of ChunkSize(), up to Window() of them
//   unanswered at once → CLOSE (also on errors). The answers come in order; each must name the
//   offset of the oldest piece still unanswered. A read shorter than a piece is the end of the
//   file: the reads behind it must bring nothing. After the first error no piece is sent; the
//   answers still due are taken before CLOSE.
//
// Outcomes are those of CDiagLink; the file system's own errno comes back separately (0 = none).
#include "DiagLink.h"
#include "serial/Efs2Protocol.h"
#include "serial/SerialPort.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

class CEfs2Client
{
public:
    static constexpr qint32 O_READ = EFS2_O_RDONLY;
    static constexpr qint32 O_WRITE_CREATE_TRUNC = EFS2_O_WRONLY | EFS2_O_CREAT | EFS2_O_TRUNC;
    static constexpr qint32 FILE_MODE = 0100777;

    struct SEntry
    {
        QString name;
        bool bDir = false;
        qint32 size = 0;
    };

    // The largest READ whose answer the link can take whole (header, fd, offset, count, errno and
    // the check bytes around the data).
    static constexpr int MAX_READ = CSerialPort::DECODE_BUFFER_SIZE - 2 - EFS2_HEADER_SIZE - 16;
    // Most requests and bytes the plug-in keeps unanswered, whatever the handset allows.
    static constexpr int MAX_WINDOW = 16;
    static constexpr qint64 MAX_BYTES_IN_FLIGHT = 64 * 1024;

    explicit CEfs2Client(CDiagLink& link, int chunkSize = 1024) : m_link(link), m_nChunk(chunkSize) {}

    int ChunkSize() const { return m_nChunk; }
    int Window() const { return m_nWindow; }
    CDiagLink& Link() { return m_link; }

    // Offers MAX_READ as the host's byte window and takes the handset's limits: the chunk size
    // becomes the smaller byte window of the answer (the most one READ or WRITE carries, at most
    // MAX_READ), the window the smaller packet window (the requests that may be unanswered).
    CDiagLink::EOutcome Hello();
    CDiagLink::EOutcome Open(const QByteArray& path, qint32 flags, qint32& fd, qint32& err);
    CDiagLink::EOutcome Close(qint32 fd, qint32& err);
    CDiagLink::EOutcome Read(qint32 fd, quint32 offset, QByteArray& data, qint32& err);
    CDiagLink::EOutcome Write(qint32 fd, quint32 offset, const QByteArray& data, qint32& err);
    CDiagLink::EOutcome Mkdir(const QByteArray& path, qint32& err);
    CDiagLink::EOutcome Unlink(const QByteArray& path, qint32& err);
    CDiagLink::EOutcome Stat(const QByteArray& path, qint32& mode, qint32& size, qint32& err);
    // OPENDIR, READDIR from sequence 1 until an empty name, CLOSEDIR.
    CDiagLink::EOutcome List(const QByteArray& path, QList<SEntry>& entries, qint32& err);

    // Whole files. progress gets the bytes done so far.
    CDiagLink::EOutcome ReadFile(const QByteArray& path, QByteArray& data, qint32& err,
                                 const std::function<void(qint64)>& progress = {});
    CDiagLink::EOutcome WriteFile(const QByteArray& path, const QByteArray& data, qint32& err,
                                  const std::function<void(qint64)>& progress = {});
    // Creates every missing folder of an absolute handset path.
    CDiagLink::EOutcome MakePath(const QByteArray& path, qint32& err);

private:
    CDiagLink::EOutcome Call(quint16 cmd, const QByteArray& body, QByteArray& answer, int minBody);
    // The answer to a request sent earlier (Send): its header checked.
    CDiagLink::EOutcome Answer(quint16 cmd, QByteArray& answer, int minBody);
    // Takes the answers still due after an error, so the next request meets a quiet line.
    CDiagLink::EOutcome Drain(quint16 cmd, int due);
    int PiecesInFlight() const;

    CDiagLink& m_link;
    int m_nChunk;
    int m_nWindow = 1;
};
