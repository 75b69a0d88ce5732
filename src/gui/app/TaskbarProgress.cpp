#include "TaskbarProgress.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QVariantMap>
#include <algorithm>
#include <cmath>

TaskbarProgress::TaskbarProgress(QObject* parent) : TaskbarProgress(QDBusConnection::sessionBus(), parent) {}

TaskbarProgress::TaskbarProgress(const QDBusConnection& bus, QObject* parent) : QObject(parent), m_bus(bus) {}

TaskbarProgress::~TaskbarProgress()
{
    clear();
}

QString TaskbarProgress::AppUri()
{
    return QStringLiteral("application://") + QGuiApplication::desktopFileName() + QStringLiteral(".desktop");
}

void TaskbarProgress::setProgress(double fraction)
{
    if (!std::isfinite(fraction))
        return;
    fraction = std::clamp(fraction, 0.0, 1.0);
    const int percent = int(std::floor(fraction * 100));
    if (percent == m_percent)
        return;
    m_percent = percent;
    send(fraction, true);
}

void TaskbarProgress::clear()
{
    if (m_percent < 0)
        return;
    m_percent = -1;
    send(0, false);
}

void TaskbarProgress::send(double fraction, bool visible)
{
    if (!m_bus.isConnected())
        return;
    // Any object path will do; one of the program's own keeps two programs' signals apart.
    QDBusMessage update = QDBusMessage::createSignal(
        QStringLiteral("/com/canonical/unity/launcherentry/%1").arg(QCoreApplication::applicationPid()),
        QLatin1String(kInterface), QStringLiteral("Update"));
    QVariantMap properties;
    properties.insert(QStringLiteral("progress"), fraction);
    properties.insert(QStringLiteral("progress-visible"), visible);
    update << AppUri() << properties;
    m_bus.send(update);
}
