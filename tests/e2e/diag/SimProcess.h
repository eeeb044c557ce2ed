#pragma once
// Child processes of the end-to-end tests: the simulator (waited for until it says it is ready)
// and qpx-diag runs. Every wait is bounded.
#include "TestEnv.h"

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <memory>

class CSimProcess
{
public:
    static constexpr int READY_WAIT_MS = 10000;

    ~CSimProcess() { Stop(); }

    // Starts qpx-handset-sim with args and waits for "qpx-handset-sim: COM<n> -> <pty>".
    bool Start(const QStringList& args)
    {
        m_process = std::make_unique<QProcess>();
        m_process->setProcessChannelMode(QProcess::SeparateChannels);
        m_process->start(qpxtest::BuiltProgram(QStringLiteral("qpx-handset-sim")), args);
        if (!m_process->waitForStarted(READY_WAIT_MS))
            return false;
        static const QRegularExpression ready(QStringLiteral("^qpx-handset-sim: COM(\\d+) -> (\\S+)$"));
        QByteArray out;
        while (!out.contains('\n')) {
            if (!m_process->waitForReadyRead(READY_WAIT_MS))
                return false;
            out += m_process->readAllStandardOutput();
        }
        const auto m = ready.match(QString::fromUtf8(out.left(out.indexOf('\n'))));
        if (!m.hasMatch())
            return false;
        m_nPort = m.captured(1).toInt();
        m_strPty = m.captured(2);
        return true;
    }

    // SIGTERM, then a bounded wait; true when it ended by itself in time.
    bool Stop()
    {
        if (!m_process || m_process->state() == QProcess::NotRunning)
            return true;
        m_process->terminate();
        if (m_process->waitForFinished(5000))
            return true;
        m_process->kill();
        m_process->waitForFinished(5000);
        return false;
    }

    // waitForFinished answers false for a process whose end the event loop has already seen.
    bool WaitForExit(int ms)
    {
        return !m_process || m_process->state() == QProcess::NotRunning || m_process->waitForFinished(ms);
    }
    bool IsRunning() const { return m_process && m_process->state() != QProcess::NotRunning; }
    qint64 ProcessId() const { return m_process ? m_process->processId() : 0; }
    int ExitCode() const { return m_process->exitCode(); }
    QString Stderr() { return QString::fromUtf8(m_process->readAllStandardError()); }

    int Port() const { return m_nPort; }
    QString Pty() const { return m_strPty; }

private:
    std::unique_ptr<QProcess> m_process;
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

// Runs a built program to its end (bounded).
inline SRunResult RunProgram(const QString& name, const QStringList& args, int waitMs = 20000)
{
    SRunResult r;
    QProcess p;
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
