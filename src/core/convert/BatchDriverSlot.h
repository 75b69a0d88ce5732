#pragma once

// What the batch's files share between its source files: one slot of the batch (BatchDriver.h).
#include "BatchDriver.h"
#include "DOSOutputs.h"
#include "ToolWorker.h"
#include "filelist/FileQueue.h"

#include <QHash>
#include <QString>

// A slot runs its files either one tool process each (dos) or as jobs of one tool process it keeps
// (worker), as the batch decided when its first file started; runner is the one in use.
struct BatchDriver::Slot
{
    DOSOutputs* dos = nullptr;
    ToolWorker* worker = nullptr;
    ToolRunner* runner = nullptr;
    QString input;
    QString output;
    pid_t pid = -1;
    qint32 totalSeconds = 0;
    qint32 elapsedSeconds = 0;
    // The probe step, before a name from tags is reserved: running, or ended while the batch was
    // paused (the conversion starts on Resume); the tags it found.
    bool probing = false;
    bool probed = false;
    QHash<QString, QString> tags;
    FileQueue::Entry entry; // the row it converts: the path, or an image's path and its track
    double weight = 0;      // the file's share of the batch's work (BatchDriver::weightOf)

    bool busy() const { return dos->isRunning() || worker->isRunning(); }
};
