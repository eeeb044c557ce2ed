#pragma once
// The plug-in's side of the EFS2 file system (Efs2Protocol.h) over a CDiagLink.
//
//   every request: 4B 13 cc cc | body;  the answer repeats the 4 header bytes
//   whole-file helpers: OPEN → READ/WRITE in pieces of ChunkSize(), up to Window() requests
//   unanswered at once → CLOSE (also on errors). The answers come in order; each must name the
//   offset of the oldest piece of its file still unanswered. A read shorter than a piece is the
//   end of the file: the reads behind it must bring nothing. After a file's first error none of
//   its pieces is sent; the answers still due are taken, the file is closed.
//   Several files (RunFiles) share the window: the next file is opened while the current one
//   streams and each is closed as soon as its end is settled, so the line runs on from file to
//   file instead of waiting a round trip for each OPEN and CLOSE.
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
    // Most requests the plug-in keeps unanswered, whatever the handset allows, and most data
    // unanswered each way of the line (WRITEs to the handset, READs back): enough to keep a USB
    // line busy through a few milliseconds in which this side or the handset is held up.
    static constexpr int MAX_WINDOW = 64;
    static constexpr qint64 MAX_BYTES_IN_FLIGHT = 128 * 1024;

    explicit CEfs2Client(CDiagLink& link, int chunkSize = 1024) : m_link(link), m_nChunk(chunkSize) {}

    int ChunkSize() const { return m_nChunk; }
    int Window() const { return m_nWindow; }
    CDiagLink& Link() { return m_link; }

    // Offers MAX_READ as the host's byte window and takes the handset's limits: the chunk size
    // becomes the smaller byte window of the answer (the most one READ or WRITE carries, at most
    // MAX_READ), the window the smaller packet window (the requests that may be unanswered), and
    // the READDIRs of a listing the directory packet window.
    CDiagLink::EOutcome Hello();
    CDiagLink::EOutcome Mkdir(const QByteArray& path, qint32& err);
    CDiagLink::EOutcome Unlink(const QByteArray& path, qint32& err);
    CDiagLink::EOutcome Stat(const QByteArray& path, qint32& mode, qint32& size, qint32& err);
    // OPENDIR, READDIR from sequence 1 until an empty name (several unanswered at once), CLOSEDIR.
    CDiagLink::EOutcome List(const QByteArray& path, QList<SEntry>& entries, qint32& err);

    // One whole file of RunFiles: read (data receives it) or written (data is sent).
    struct SFileJob
    {
        QByteArray path;
        bool bWrite = false;
        QByteArray data;
        qint64 expectedSize = -1; // a read's listed size, as for ReadFile
        qint32 err = 0;           // the file system's errno for this file (0: none)
    };
    // Files open at once (a handset keeps a few): enough for a verified write's read-backs to be
    // opened ahead while the writes run on (WriteFilesVerified).
    static constexpr int MAX_OPEN = 5;
    // The jobs in order through one window. A job opens its file only once every earlier job on
    // the same path has sent its CLOSE (a read-back sees the file written and closed). settled(i)
    // runs for each job in order once it is complete (its data read or written, or its err set);
    // false from it stops the run: no more is sent, the answers still due are taken and the open
    // files closed. progress gets the bytes of all jobs done so far. An outcome other than OK
    // ends the run at once; *at then names the job it struck.
    CDiagLink::EOutcome RunFiles(QList<SFileJob>& jobs, const std::function<bool(int)>& settled,
                                 const std::function<void(qint64)>& progress = {}, int* at = nullptr);

    // Whole files. progress gets the bytes done so far. expectedSize (from a listing; < 0: not
    // known) keeps the reads from running past the end of the file: only the piece that holds the
    // end is asked for, and a file that turns out longer is read on as usual.
    CDiagLink::EOutcome ReadFile(const QByteArray& path, QByteArray& data, qint32& err,
                                 const std::function<void(qint64)>& progress = {}, qint64 expectedSize = -1);
    CDiagLink::EOutcome WriteFile(const QByteArray& path, const QByteArray& data, qint32& err,
                                  const std::function<void(qint64)>& progress = {});
    // Creates every missing folder of an absolute handset path; a folder this client made or
    // found before is not asked for again.
    CDiagLink::EOutcome MakePath(const QByteArray& path, qint32& err);

private:
    CDiagLink::EOutcome Call(quint16 cmd, const QByteArray& body, QByteArray& answer, int minBody);
    // The answer to a request sent earlier (Send): its header checked.
    CDiagLink::EOutcome Answer(quint16 cmd, QByteArray& answer, int minBody);

    CDiagLink& m_link;
    int m_nChunk;
    int m_nWindow = 1;
    int m_nDirWindow = 1;     // READDIRs unanswered at once
    QList<QByteArray> m_made; // folders known to exist
};
