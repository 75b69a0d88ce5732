#include "Sound.h"

#include <QApplication>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

namespace Sound {

namespace {
Player& current()
{
    static Player p;
    return p;
}

void playWithQt(const QString& wavPath)
{
    if (!QFileInfo(wavPath).isFile()) {
        QApplication::beep();
        return;
    }
    // One effect for the whole run: it must outlive the call, since it plays asynchronously.
    static QSoundEffect* effect = nullptr;
    if (!effect)
        effect = new QSoundEffect(qApp);
    effect->setSource(QUrl::fromLocalFile(wavPath));
    effect->play();
}
} // namespace

void play(const QString& wavPath)
{
    const Player p = current();
    if (p)
        p(wavPath);
    else
        playWithQt(wavPath);
}

void setPlayer(Player player)
{
    current() = std::move(player);
}

Player player()
{
    return current();
}

} // namespace Sound
