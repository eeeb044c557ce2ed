#pragma once
// Helpers of the connection tests: the program's port list, and a receiver
// that records every window message it gets.
#include "SimProcess.h"
#include "TestEnv.h"
#include "core/AppSettings.h"

#include "platform/WindowMessage.h"

#include <QMutexLocker>

namespace linktest {

using qpxtest::PumpUntil;

// Sets the ports the program knows, under its lock.
inline void SetPortList(const QList<int>& ports)
{
    QMutexLocker lock(&theSettings.m_lock);
    theSettings.m_portList.RemoveAll();
    for (int p : ports)
        theSettings.m_portList.Append(p);
}

struct SRecord
{
    quint32 nMsg;
    quint32 nCode;       // low 16 bits of wParam
    quint32 nGeneration; // high bits of wParam
};

// Records every window message posted or sent to it, in arrival order.
class CRecorder : public QObject, public IMessageReceiver
{
public:
    QList<SRecord> records;

    LRESULT OnMessage(quint32, WPARAM, LPARAM) override { return 0; }

    // How many of that message and code arrived (of that generation, unless it is -1).
    int Count(quint32 msg, quint32 code, qint64 generation = -1) const
    {
        int n = 0;
        for (const SRecord& r : records)
            n +=
                (r.nMsg == msg && r.nCode == code && (generation < 0 || r.nGeneration == generation)) ? 1 : 0;
        return n;
    }

protected:
    void customEvent(QEvent* event) override
    {
        if (event->type() == CMessageEvent::EventType()) {
            auto* m = static_cast<CMessageEvent*>(event);
            records.append(SRecord{m->Message(), static_cast<quint32>(m->WParam() & 0xFFFF),
                                   static_cast<quint32>((m->WParam() >> 16) & 0xFFFF)});
        }
        DispatchMessageEvent(this, event);
    }
};

} // namespace linktest
