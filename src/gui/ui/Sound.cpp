#include "Sound.h"

#include <QApplication>
#include <QFile>
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

std::function<void()>& beeper()
{
    static std::function<void()> b;
    return b;
}

void beep()
{
    if (beeper())
        beeper()();
    else
        QApplication::beep();
}

quint32 le32(const char* p)
{
    return quint32(quint8(p[0])) | quint32(quint8(p[1])) << 8 | quint32(quint8(p[2])) << 16 |
           quint32(quint8(p[3])) << 24;
}

quint16 le16(const char* p)
{
    return quint16(quint8(p[0]) | quint8(p[1]) << 8);
}

void playWithQt(const QString& wavPath)
{
    if (!IsPlayableWav(wavPath)) {
        beep();
        return;
    }
    // One effect for the whole run: it must outlive the call, since it plays asynchronously. A file the
    // sound system still refuses gives the default sound, as a missing one does.
    static QSoundEffect* effect = nullptr;
    if (!effect) {
        effect = new QSoundEffect(qApp);
        QObject::connect(effect, &QSoundEffect::statusChanged, effect, [] {
            if (effect->status() == QSoundEffect::Error)
                beep();
        });
    }
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

void setBeeper(std::function<void()> b)
{
    beeper() = std::move(b);
}

bool IsPlayableWav(const QString& wavPath)
{
    QFile file(wavPath);
    if (!QFileInfo(wavPath).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(12);
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
        return false;
    bool formatOk = false;
    // Walk the chunks up to the data: a chime is small, so a long walk means a damaged file.
    for (int chunks = 0; chunks < 64; ++chunks) {
        const QByteArray header = file.read(8);
        if (header.size() < 8)
            return false;
        const quint32 size = le32(header.constData() + 4);
        if (header.startsWith("fmt ")) {
            const QByteArray fmt = file.read(qMin<quint32>(size, 64));
            if (fmt.size() < 16)
                return false;
            const quint16 tag = le16(fmt.constData());
            const quint16 channels = le16(fmt.constData() + 2);
            const quint32 rate = le32(fmt.constData() + 4);
            const quint16 bits = le16(fmt.constData() + 14);
            formatOk = (tag == 1 || tag == 3 || tag == 0xFFFE) && channels >= 1 && channels <= 8 && rate > 0 &&
                       (bits == 8 || bits == 16 || bits == 24 || bits == 32);
            if (!file.seek(file.pos() - fmt.size() + size + (size & 1)))
                return false;
        } else if (header.startsWith("data")) {
            return formatOk && size > 0 && file.size() > file.pos();
        } else if (!file.seek(file.pos() + size + (size & 1))) {
            return false;
        }
    }
    return false;
}

} // namespace Sound
