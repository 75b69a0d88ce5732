#include "BatchDriver.h"
#include "BatchDriverSlot.h"

#include "DOSOutputs.h"
#include "FatName.h"
#include "LoudnessPlan.h"
#include "NumberedName.h"
#include "OutputFolder.h"
#include "OutputPlace.h"
#include "OutputSync.h"
#include "PartFileSweep.h"
#include "ProgressParser.h"
#include "ToolHandshake.h"
#include "ToolTags.h"
#include "ToolWorker.h"
#include "filelist/FileQueue.h"
#include "filelist/GetFile.h"
#include "filelist/PathBytes.h"
#include "filelist/TrackName.h"
#include "settings/FilesAtOnce.h"
#include "ui/MsgBox.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QScopeGuard>
#include <QTimer>
#include <algorithm>
#include <sys/stat.h>

namespace {

// A cue sheet's tag under the name the name pattern knows it by.
QString namingKey(const QString& toolName)
{
    if (toolName == QLatin1String("album_artist"))
        return QStringLiteral("albumartist");
    if (toolName == QLatin1String("date"))
        return QStringLiteral("year");
    return toolName;
}

} // namespace

// Where each output goes and what it is named; the files that end without a tool.

QString BatchDriver::outputFolderFor(const CommandBuilder::Request& request, const QString& input, int row)
{
    const OutputLayout mode = request.options.OutputFiles;
    const QString root = m_queue->rootAt(row);
    QString folder = OutputPlace::FolderFor(mode, request.outputFolder, request.inputPath, root);
    const bool track = request.track && !request.track->wholeFile;
    if (track)
        folder += TrackName::Folder(request.inputPath) + QLatin1Char('/');
    if (!track && (mode != OutputLayout::KeepFolders || root.isEmpty()))
        return folder;
    const FolderMaker::Made made = m_folders.Make(folder);
    if (made.folder.isEmpty())
        settle(input, row, made.problem);
    return made.folder;
}

void BatchDriver::settle(const QString& input, int row, const QString& reason)
{
    if (reason.isEmpty())
        m_outcome.countSkipped();
    else
        m_outcome.fail(input, reason);
    m_queue->removeAt(row);
    m_doneWeight += weightOf(input);
    emit fileEnded(input, reason.isEmpty() ? FileEnd::Skipped : FileEnd::Failed, reason);
    showBatchProgress();
}

QString BatchDriver::wantedOutput(CommandBuilder::Request& request, const Slot* slot, const QString& input, int row)
{
    if (m_names.keepsName()) {
        request.outputFolder = outputFolderFor(request, input, row);
        return request.outputFolder.isEmpty() ? QString() : CommandBuilder::OutputPath(request);
    }
    // The pattern's levels replace the kept tree and a track's folder of its image: they go below the
    // output folder itself, or beside the original.
    const OutputLayout mode = request.options.OutputFiles == OutputLayout::BesideOriginal ? OutputLayout::BesideOriginal
                                                                                          : OutputLayout::AllInOne;
    const QString base = OutputPlace::FolderFor(mode, request.outputFolder, request.inputPath, QString());
    const QFileInfo original(request.inputPath);
    NamePattern::Input named{slot->tags, GetFile::ParseStem(request.inputPath), QFileInfo(original.path()).fileName()};
    if (request.track) {
        // As the tool tags it: the sheet's tags over the file's own (CommandBuilder::BuildArguments).
        for (const auto& [key, value] : request.track->tags.Pairs())
            named.tags.insert(namingKey(key), value);
        if (!request.track->wholeFile) {
            // An image's title names the whole image, never one untitled track; {name} is the track's
            // "NN Title".
            if (request.track->tags.title.isEmpty())
                named.tags.insert(QStringLiteral("title"),
                                  QStringLiteral("Track %1").arg(request.track->number, 2, 10, QLatin1Char('0')));
            named.name = TrackName::Stem(*request.track);
        }
    }
    const QString relative = m_names.Apply(named);
    const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
    request.outputFolder = base;
    if (slash >= 0) {
        const FolderMaker::Made made = m_folders.Make(base + relative.left(slash));
        if (made.folder.isEmpty()) {
            settle(input, row, made.problem);
            return QString();
        }
        request.outputFolder = made.folder;
    }
    return request.outputFolder + relative.mid(slash + 1) + CommandBuilder::Extension(request.formatIndex);
}

bool BatchDriver::chooseOutput(CommandBuilder::Request& request, const QString& input, const QString& wanted, int row)
{
    if (wanted.isEmpty())
        return true;
    std::optional<QString> chosen;
    if (m_setup.options.IfExists == ExistingOutput::Skip) {
        const OutputNames::Looked looked = m_outputNames.Look(input, wanted);
        switch (looked.found) {
        case OutputNames::Looked::Found::Output:
            // Converted by an earlier run: no tool, and the file leaves the list as a converted one.
            settle(input, row, QString());
            return false;
        case OutputNames::Looked::Found::InTheWay:
            // Converting beside it would add one more copy on every run, and nothing may replace it.
            settle(input, row,
                   QStringLiteral("%1 is in the way at %2, not a converted output: it was left alone")
                       .arg(looked.what.left(1).toUpper() + looked.what.mid(1), looked.path));
            return false;
        case OutputNames::Looked::Found::Nothing:
            chosen = looked.path;
            break;
        case OutputNames::Looked::Found::NoName:
            break;
        }
    } else {
        chosen = m_outputNames.Reserve(input, wanted);
    }
    if (!chosen) {
        settle(input, row, QStringLiteral("No free name for the output beside ") + wanted);
        return false;
    }
    request.outputPath = *chosen;
    return true;
}

bool BatchDriver::usesOutputFolder() const
{
    return m_setup.options.OutputFiles != OutputLayout::BesideOriginal;
}

QString BatchDriver::outputSideProblem(const QString& output) const
{
    // The output folder named first: when it is gone, so is everything below it.
    if (usesOutputFolder()) {
        const QString problem = OutputFolder::Check(m_setup.outputFolder);
        if (!problem.isEmpty() || output.isEmpty())
            return problem;
    }
    return output.isEmpty() ? QString() : OutputFolder::Check(QFileInfo(output).absolutePath());
}
