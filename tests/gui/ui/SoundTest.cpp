#include "ui/Sound.h"
#include "TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(ReminderSound, AFileThatCannotBePlayedGivesTheDefaultSoundAsAMissingOneDoes)
{
    QTemporaryDir dir;
    const QString chime = TestSupport::buildProgramFolder() + QStringLiteral("/sound.wav");
    EXPECT_TRUE(Sound::IsPlayableWav(chime)) << "the chime the program ships";
    QFile real(chime);
    ASSERT_TRUE(real.open(QIODevice::ReadOnly));
    const QByteArray wav = real.readAll();

    const auto write = [&](const char* name, const QByteArray& bytes) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    };
    QByteArray noSamples = wav.left(44);
    QByteArray tooManyChannels = wav;
    tooManyChannels[22] = char(40);
    const QStringList unplayable = {dir.filePath(QStringLiteral("missing.wav")),
                                    write("empty.wav", QByteArray()),
                                    write("text.wav", "this is no sound"),
                                    write("mp3.wav", QByteArray("ID3\3\0\0\0\0\0\0", 10) + QByteArray(500, 'x')),
                                    write("header-only.wav", noSamples),
                                    write("channels.wav", tooManyChannels),
                                    dir.path()};
    int beeps = 0;
    Sound::setBeeper([&] { ++beeps; });
    for (const QString& path : unplayable) {
        EXPECT_FALSE(Sound::IsPlayableWav(path)) << path.toStdString();
        const int before = beeps;
        Sound::play(path);
        EXPECT_EQ(beeps, before + 1) << path.toStdString();
    }
    Sound::setBeeper({});
}

} // namespace
