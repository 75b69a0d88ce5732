#include "DesktopNotice.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QVariantMap>

DesktopNotice::DesktopNotice(QObject* parent) : DesktopNotice(QDBusConnection::sessionBus(), parent) {}

DesktopNotice::DesktopNotice(const QDBusConnection& bus, QObject* parent) : QObject(parent), m_bus(bus)
{
    if (!m_bus.isConnected())
        return;
    // Signals only from the service's owner, whoever that is at the time.
    m_bus.connect(QLatin1String(kService), QLatin1String(kPath), QLatin1String(kInterface),
                  QStringLiteral("ActionInvoked"), this, SLOT(actionInvoked(uint, QString)));
}

QString DesktopNotice::Summary(const Outcome& outcome)
{
    return outcome.stopped ? QStringLiteral("Conversion stopped") : QStringLiteral("Conversion finished");
}

QString DesktopNotice::Body(const Outcome& outcome)
{
    QStringList parts = {outcome.converted == 1 ? QStringLiteral("1 file converted")
                                                : QStringLiteral("%1 files converted").arg(outcome.converted)};
    if (outcome.failed > 0)
        parts.append(QStringLiteral("%1 failed").arg(outcome.failed));
    if (outcome.skipped > 0)
        parts.append(QStringLiteral("%1 skipped").arg(outcome.skipped));
    if (outcome.foldersNotSearched > 0)
        parts.append(outcome.foldersNotSearched == 1
                         ? QStringLiteral("1 folder not searched")
                         : QStringLiteral("%1 folders not searched").arg(outcome.foldersNotSearched));
    return parts.join(QStringLiteral(", "));
}

void DesktopNotice::Show(const Outcome& outcome)
{
    if (!m_bus.isConnected()) {
        emit finished(false);
        return;
    }
    // Asked each time: the service may have been replaced since by one that shows other things.
    const QDBusMessage ask = QDBusMessage::createMethodCall(
        QLatin1String(kService), QLatin1String(kPath), QLatin1String(kInterface), QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(ask), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, outcome] {
        watcher->deleteLater();
        const QDBusPendingReply<QStringList> capabilities = *watcher;
        if (capabilities.isError()) {
            emit finished(false); // no service: nobody to tell
            return;
        }
        notify(outcome, !outcome.outputFolder.isEmpty() && capabilities.value().contains(QStringLiteral("actions")));
    });
}

void DesktopNotice::notify(const Outcome& outcome, bool withActions)
{
    const QString desktopId = QGuiApplication::desktopFileName();
    QVariantMap hints;
    if (!desktopId.isEmpty())
        hints.insert(QStringLiteral("desktop-entry"), desktopId);
    hints.insert(QStringLiteral("category"),
                 outcome.failed > 0 ? QStringLiteral("transfer.error") : QStringLiteral("transfer.complete"));
    QStringList actions;
    if (withActions)
        actions << QLatin1String(kOpenFolderAction) << QStringLiteral("Open folder");
    QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                                       QLatin1String(kInterface), QStringLiteral("Notify"));
    call << QGuiApplication::applicationDisplayName() << uint(0) << desktopId << Summary(outcome) << Body(outcome)
         << actions << hints << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    const QString folder = withActions ? outcome.outputFolder : QString();
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, folder] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> id = *watcher;
        if (!id.isError() && !folder.isEmpty())
            m_folders.insert(id.value(), folder);
        emit finished(!id.isError());
    });
}

void DesktopNotice::actionInvoked(uint id, const QString& action)
{
    // Every program's notices raise this signal; only ours, and only our action, open anything.
    if (action == QLatin1String(kOpenFolderAction) && m_folders.contains(id))
        emit openFolder(m_folders.value(id));
}
