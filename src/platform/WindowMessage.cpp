#include "WindowMessage.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <mutex>

struct SSendState
{
    std::mutex mutex;
    std::condition_variable done;
    bool bDone = false;
    LRESULT lResult = 0;
};

QEvent::Type CMessageEvent::EventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

CMessageEvent::CMessageEvent(quint32 msg, WPARAM wParam, LPARAM lParam, QByteArray payload)
    : QEvent(EventType()), m_nMsg(msg), m_wParam(wParam), m_lParam(lParam), m_payload(std::move(payload))
{
}

CMessageEvent::~CMessageEvent()
{
    // A cross-thread send whose receiver vanished before handling still releases the sender.
    if (m_pSend) {
        std::lock_guard lock(m_pSend->mutex);
        if (!m_pSend->bDone) {
            m_pSend->bDone = true;
            m_pSend->lResult = m_lResult;
            m_pSend->done.notify_all();
        }
    }
}

LPARAM CMessageEvent::LParam() const
{
    if (!m_payload.isNull())
        return reinterpret_cast<LPARAM>(m_payload.constData());
    return m_lParam;
}

bool DispatchMessageEvent(IMessageReceiver* receiver, QEvent* event)
{
    if (event->type() != CMessageEvent::EventType())
        return false;
    auto* msg = static_cast<CMessageEvent*>(event);
    msg->m_lResult = receiver->OnMessage(msg->Message(), msg->WParam(), msg->LParam());
    if (msg->m_pSend) {
        std::lock_guard lock(msg->m_pSend->mutex);
        msg->m_pSend->bDone = true;
        msg->m_pSend->lResult = msg->m_lResult;
        msg->m_pSend->done.notify_all();
    }
    return true;
}

bool PostMessage(QObject* receiver, quint32 msg, WPARAM wParam, LPARAM lParam)
{
    if (!receiver)
        return false;
    QCoreApplication::postEvent(receiver, new CMessageEvent(msg, wParam, lParam));
    return true;
}

bool PostMessageWithPayload(QObject* receiver, quint32 msg, WPARAM wParam, const void* data, int size)
{
    if (!receiver)
        return false;
    QByteArray copy(static_cast<const char*>(data), size);
    QCoreApplication::postEvent(receiver, new CMessageEvent(msg, wParam, 0, std::move(copy)));
    return true;
}

LRESULT SendMessage(QObject* receiver, quint32 msg, WPARAM wParam, LPARAM lParam,
                    const std::atomic<int>* runFlag)
{
    if (!receiver)
        return 0;
    if (receiver->thread() == QThread::currentThread()) {
        CMessageEvent event(msg, wParam, lParam);
        QCoreApplication::sendEvent(receiver, &event);
        return event.m_lResult;
    }
    auto state = std::make_shared<SSendState>();
    auto* event = new CMessageEvent(msg, wParam, lParam);
    event->m_pSend = state;
    QCoreApplication::postEvent(receiver, event);
    std::unique_lock lock(state->mutex);
    while (!state->bDone) {
        if (runFlag && runFlag->load(std::memory_order_acquire) == 0)
            return 0;
        state->done.wait_for(lock, std::chrono::milliseconds(5));
    }
    return state->lResult;
}
