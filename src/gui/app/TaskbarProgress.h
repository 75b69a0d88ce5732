#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

// The batch's progress on the program's task bar entry or dock icon: the com.canonical.Unity.LauncherEntry
// Update signal on the session bus, which KDE Plasma's task manager, GNOME's Dash to Dock and others
// read, for the entry "application://" + the desktop file name. A signal needs no service and nobody
// answers it, so nothing ever waits; with no session bus nothing is sent.
class TaskbarProgress : public QObject
{
    Q_OBJECT
public:
    static constexpr const char* kInterface = "com.canonical.Unity.LauncherEntry";

    explicit TaskbarProgress(QObject* parent = nullptr);
    explicit TaskbarProgress(const QDBusConnection& bus, QObject* parent = nullptr);
    // Clears what it showed: an entry must not keep a dead batch's bar.
    ~TaskbarProgress() override;

    // Shows the bar at this fraction of the batch (0 to 1). Sent when the whole percent changes, so a
    // batch of any size sends at most about a hundred signals.
    void setProgress(double fraction);
    // Takes the bar away (the batch has ended).
    void clear();

    // "application://example.veltrasoft.WmaConverter.desktop", from QGuiApplication::desktopFileName.
    static QString AppUri();

private:
    void send(double fraction, bool visible);

    QDBusConnection m_bus;
    int m_percent = -1; // what is shown, -1 for nothing
};
