#pragma once
// Serial port arrival and removal as Qt signals, for the main frame.
//
// Construct it on the user-interface thread (it watches its sources through that thread's event
// loop) and connect the signals; it starts watching at once. Names are "COM<n>"; turn them into
// numbers with CPortList::ParsePortName. Real ports are named by the rule of PortDiscovery.h, so a
// name given here matches what CollectAllPorts finds.
#include <QObject>
#include <QString>

#include <memory>

class CDeviceNotifier;

class CPortWatcher : public QObject
{
    Q_OBJECT
public:
    explicit CPortWatcher(QObject* parent = nullptr);
    ~CPortWatcher() override;

    // False when no source could be watched (no events will come).
    bool IsActive() const;

signals:
    void portArrived(const QString& name);
    void portRemoved(const QString& name);

private:
    std::unique_ptr<CDeviceNotifier> m_notifier;
    bool m_bActive = false;
};
