#pragma once
// Helpers of the connection tests: the handset simulator as a child process, a receiver that
// records every window message it gets.
#include "TestEnv.h"

#include "platform/WindowMessage.h"

#include <QProcess>
#include <QRegularExpression>

#include <memory>

namespace linktest {

using qpxtest::PumpUntil;

// qpx-handset-sim on a pseudo-terminal, published as a virtual COM port; killed when destroyed.
class CSimulator
{
public:
    explicit CSimulator(const QStringList& args = {})
    {
        m_process.setProgram(qpxtest::BuiltProgram(QStringLiteral("qpx-handset-sim")));
        m_process.setArguments(args);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return;
        static const QRegularExpression ready(QStringLiteral("qpx-handset-sim: COM(\\d+) -> (\\S+)"));
        while (m_nPort < 0 && m_process.waitForReadyRead(30000)) {
            m_output += m_process.readAllStandardOutput();
            const auto m = ready.match(QString::fromUtf8(m_output));
            if (m.hasMatch()) {
                m_nPort = m.captured(1).toInt();
                m_strPty = m.captured(2);
            }
        }
    }
    ~CSimulator() { Kill(); }
    CSimulator(const CSimulator&) = delete;
    CSimulator& operator=(const CSimulator&) = delete;

    bool Ready() const { return m_nPort > 0; }
    int Port() const { return m_nPort; }
    QString Pty() const { return m_strPty; }
    void Kill()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(3000);
    }

private:
    QProcess m_process;
    QByteArray m_output;
    int m_nPort = -1;
    QString m_strPty;
};

struct SRecord
{
    quint32 nMsg;
    quint32 nCode;       // low 16 bits of wParam
    quint32 nGeneration; // high bits of wParam
    LPARAM lParam;       // the payload's address for payload messages (not kept)
    QByteArray payload;
};

// Records every window message posted or sent to it, in arrival order.
class CRecorder : public QObject, public IMessageReceiver
{
public:
    QList<SRecord> records;

    LRESULT OnMessage(quint32, WPARAM, LPARAM) override { return 0; }

    int Count(quint32 msg, quint32 code) const
    {
        int n = 0;
        for (const SRecord& r : records)
            n += (r.nMsg == msg && r.nCode == code) ? 1 : 0;
        return n;
    }
    // The first record of that message and code at or after index from, or -1.
    int Find(quint32 msg, quint32 code, int from = 0) const
    {
        for (int i = from; i < records.size(); ++i)
            if (records[i].nMsg == msg && records[i].nCode == code)
                return i;
        return -1;
    }
    QList<LPARAM> Args(quint32 msg, quint32 code) const
    {
        QList<LPARAM> out;
        for (const SRecord& r : records)
            if (r.nMsg == msg && r.nCode == code)
                out.append(r.lParam);
        return out;
    }
    QByteArray LastPayload(quint32 msg, quint32 code) const
    {
        for (qsizetype i = records.size() - 1; i >= 0; --i)
            if (records[i].nMsg == msg && records[i].nCode == code)
                return records[i].payload;
        return {};
    }

protected:
    void customEvent(QEvent* event) override
    {
        if (event->type() == CMessageEvent::EventType()) {
            auto* m = static_cast<CMessageEvent*>(event);
            records.append(SRecord{m->Message(), static_cast<quint32>(m->WParam() & 0xFFFF),
                                   static_cast<quint32>((m->WParam() >> 16) & 0xFFFF),
                                   m->Payload().isNull() ? m->LParam() : 0, m->Payload()});
        }
        DispatchMessageEvent(this, event);
    }
};

} // namespace linktest
