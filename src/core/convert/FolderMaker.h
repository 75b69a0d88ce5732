#pragma once

#include <QHash>
#include <QString>

// Makes the folders a batch writes into below the output folder, every missing level, when their first
// file starts. Each level is made once per batch and remembered, so a library of 100,000 files costs one
// mkdir per folder, not per file. A level whose name the drive refuses (a FAT stick and "AC:DC") is
// made under the name such a stick takes (FatName), and every file below it goes there.
class FolderMaker
{
public:
    struct Made
    {
        QString folder;  // the folder as made, with a trailing "/"; empty when it could not be
        QString problem; // the system's reason when it could not
    };

    void reset() { m_levels.clear(); }

    // folder: the folder wanted, with or without a trailing "/".
    Made Make(const QString& folder);

private:
    // A wanted level, as a path ending in "/" -> what became of it.
    QHash<QString, Made> m_levels;
};
