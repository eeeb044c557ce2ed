#pragma once
// Child processes of the tests: the handset simulator on a pseudo-terminal, published as a
// virtual COM port (waited for until it says it is ready), and runs of the built programs.
// Every wait is bounded.
#include "TestEnv.h"

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <memory>

class CSimProcess
{
public:
    static constexpr int READY_WAIT_MS = 20000;

    CSimProcess() = default;
    // Starts it at once; Ready() tells whether it came up.
    explicit CSimProcess(const QStringList& args) { Start(args); }
    ~CSimProcess() { Stop(); }
    CSimProcess(const CSimProcess&) = delete;
    CSimProcess& operator=(const CSimProcess&) = delete;

    // Starts qpx-handset-sim with args and waits for "qpx-handset-sim: COM<n> -> <pty>".
    bool Start(const QStringList& args)
    {
        Stop();
        m_nPort = -1;
        m_log.clear();
        m_process = std::make_unique<QProcess>();
        m_process->setProcessChannelMode(QProcess::SeparateChannels);
        m_process->start(qpxtest::BuiltProgram(QStringLiteral("qpx-handset-sim")), args);
        if (!m_process->waitForStarted(READY_WAIT_MS))
            return false;
        static const QRegularExpression ready(QStringLiteral("^qpx-handset-sim: COM(\\d+) -> (\\S+)$"));
        const auto m = ready.match(QString::fromUtf8(qpxtest::FirstLine(*m_process, READY_WAIT_MS)));
        if (!m.hasMatch())
            return false;
        m_nPort = m.captured(1).toInt();
        m_strPty = m.captured(2);
        return true;
    }

    // SIGTERM (it removes its port), then a bounded wait; true when it ended by itself in time.
    bool Stop()
    {
        if (!IsRunning())
            return true;
        m_process->terminate();
        if (m_process->waitForFinished(5000))
            return true;
        m_process->kill();
        m_process->waitForFinished(5000);
        return false;
    }

    bool IsRunning() const { return m_process && m_process->state() != QProcess::NotRunning; }
    bool Ready() const { return m_nPort > 0; }
    qint64 ProcessId() const { return m_process ? m_process->processId() : 0; }
    int Port() const { return m_nPort; }
    QString Pty() const { return m_strPty; }

    // Everything it wrote to stderr so far.
    QString Stderr()
    {
        m_log += m_process->readAllStandardError();
        return QString::fromUtf8(m_log);
    }

    // For a simulator started with --verbose: waits, without running the event loop, until it
    // has logged count more requests of the command called name ("status", "version", ...).
    bool WaitForRequests(const char* name, int count, int ms)
    {
        const QByteArray tag = QByteArray(" (") + name + ')';
        const qsizetype from = m_log.size();
        for (int waited = 0; m_log.mid(from).count(tag) < count; waited += 100) {
            if (waited > ms)
                return false;
            m_process->setReadChannel(QProcess::StandardError);
            m_process->waitForReadyRead(100);
            m_log += m_process->readAllStandardError();
        }
        return true;
    }

private:
    std::unique_ptr<QProcess> m_process;
    QByteArray m_log; // stderr read so far
    int m_nPort = -1;
    QString m_strPty;
};

struct SRunResult
{
    bool bFinished = false;
    int nExitCode = -1;
    QString strOut;
    QString strErr;
    QStringList Lines() const { return strOut.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

// Runs a built program (qpx, qpx-diag...) to its end, bounded; killed when it overruns. env:
// "NAME=value" entries set for this run only.
inline SRunResult RunProgram(const QString& name, const QStringList& args, int waitMs = 60000,
                             const QStringList& env = {})
{
    SRunResult r;
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const QString& v : env)
        e.insert(v.section(QLatin1Char('='), 0, 0), v.section(QLatin1Char('='), 1));
    p.setProcessEnvironment(e);
    p.start(qpxtest::BuiltProgram(name), args);
    r.bFinished = p.waitForFinished(waitMs);
    if (!r.bFinished) {
        p.kill();
        p.waitForFinished(5000);
    }
    r.nExitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.strOut = QString::fromUtf8(p.readAllStandardOutput());
    r.strErr = QString::fromUtf8(p.readAllStandardError());
    return r;
}
