#include "PortWatcher.h"

#include "PortDiscovery.h"
#include "platform/DeviceNotifier.h"

CPortWatcher::CPortWatcher(QObject* parent) : QObject(parent)
{
    m_notifier = std::make_unique<CDeviceNotifier>(
        [this](bool arrival, const QString& name) {
            if (arrival)
                emit portArrived(name);
            else
                emit portRemoved(name);
        },
        [](const QString& kernelName) { return PortNameOfTty(kernelName); });
    m_bActive = m_notifier->Start();
}

CPortWatcher::~CPortWatcher() = default;

bool CPortWatcher::IsActive() const
{
    return m_bActive;
}
