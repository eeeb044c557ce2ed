#pragma once
// Window messages: a small event (message, wParam, lParam and an optional copied payload)
// delivered to a QObject that overrides customEvent() and forwards to its OnMessage.
//
//   PostMessage  - thread-safe, returns at once; the receiver handles it on its own thread.
//   SendMessage  - runs the handler on the receiver's thread and waits for its result.
//                  From another thread the wait can be abandoned through an abort flag, so
//                  a worker that is being stopped never blocks on a busy user-interface thread.
#include <QByteArray>
#include <QEvent>
#include <QObject>

#include <atomic>
#include <cstdint>
#include <memory>

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

constexpr quint32 WM_USER = 0x0400;
constexpr quint32 WM_HOST_COMMAND = WM_USER + 0x6000;
constexpr quint32 WM_LINK_COMMAND = WM_USER + 0x6001;
constexpr quint32 WM_FRAME_STATUS = WM_USER + 0x6002;
constexpr quint32 WM_PLUGIN_NOTIFY_MSG = WM_USER + 0x7001;

// Low 16 bits of wParam carry the command code.
constexpr quint32 LoWord(WPARAM w)
{
    return static_cast<quint32>(w & 0xFFFF);
}

struct SSendState;

class CMessageEvent : public QEvent
{
public:
    static QEvent::Type EventType();

    CMessageEvent(quint32 msg, WPARAM wParam, LPARAM lParam, QByteArray payload = {});
    ~CMessageEvent() override;

    quint32 Message() const { return m_nMsg; }
    WPARAM WParam() const { return m_wParam; }
    // For messages that carry a payload, LParam() points to the payload's copied bytes.
    LPARAM LParam() const;
    const QByteArray& Payload() const { return m_payload; }

    LRESULT m_lResult = 0;
    std::shared_ptr<SSendState> m_pSend; // set for a cross-thread SendMessage

private:
    quint32 m_nMsg;
    WPARAM m_wParam;
    LPARAM m_lParam;
    QByteArray m_payload;
};

// Implemented by every window that receives messages; its customEvent() calls
// DispatchMessageEvent(this, event).
class IMessageReceiver
{
public:
    virtual LRESULT OnMessage(quint32 msg, WPARAM wParam, LPARAM lParam) = 0;

protected:
    ~IMessageReceiver() = default;
};

// Returns true when the event was a message and has been handled.
bool DispatchMessageEvent(IMessageReceiver* receiver, QEvent* event);

bool PostMessage(QObject* receiver, quint32 msg, WPARAM wParam, LPARAM lParam);
// Posts a copy of the payload; the handler sees LParam() pointing at the copy.
bool PostMessageWithPayload(QObject* receiver, quint32 msg, WPARAM wParam, const void* data, int size);

// Synchronous send. When called on the receiver's thread the handler runs at once. From another
// thread the call waits until the handler ran, or until *runFlag drops to 0 (checked every few
// milliseconds); then it returns 0 and the message is handled later all the same.
LRESULT SendMessage(QObject* receiver, quint32 msg, WPARAM wParam, LPARAM lParam,
                    const std::atomic<int>* runFlag = nullptr);
