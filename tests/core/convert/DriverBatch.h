#pragma once

#include "convert/BatchDriver.h"
#include "filelist/FileQueue.h"

#include <QList>
#include <QSignalSpy>
#include <QString>

// A batch driven as the window and the terminal mode drive it, without either: a queue, the driver, the
// setup it starts with, and what it said of each file.
struct DriverBatch
{
    struct Ended
    {
        QString input;
        BatchDriver::FileEnd how;
        QString reason;
    };

    DriverBatch(const QString& programFolder, const QString& outputFolder, int filesAtOnce = 1) : driver(&queue)
    {
        setup.programFolder = programFolder;
        setup.outputFolder = outputFolder;
        setup.formatIndex = 0;
        setup.bitrate = QStringLiteral("192");
        setup.sampleRate = QStringLiteral("44100");
        setup.channelIndex = 1;
        setup.options.FilesAtOnce = filesAtOnce;
        QObject::connect(&driver, &BatchDriver::fileStarted, &driver,
                         [this](const QString& input) { started.append(input); });
        QObject::connect(&driver, &BatchDriver::fileEnded, &driver,
                         [this](const QString& input, BatchDriver::FileEnd how, const QString& reason) {
                             ended.append({input, how, reason});
                         });
    }

    // Starts the batch over what the queue holds and the inputs given; false when it never ended.
    bool run(const QList<QString>& inputs = {}, int timeoutMs = 120000)
    {
        started.clear();
        ended.clear();
        QSignalSpy end(&driver, &BatchDriver::batchEnded);
        queue.appendMany(inputs);
        return driver.Start(setup) && end.wait(timeoutMs);
    }

    int count(BatchDriver::FileEnd how) const
    {
        int n = 0;
        for (const Ended& e : ended)
            n += e.how == how;
        return n;
    }

    CommandBuilder::Request setup;
    FileQueue queue;
    BatchDriver driver;
    QList<QString> started; // inputs whose tool started, this run
    QList<Ended> ended;     // this run
};
