#pragma once

#include "BatchOutcome.h"
#include "CommandBuilder.h"
#include "FolderMaker.h"
#include "LoudnessPlan.h"
#include "OutputNames.h"

#include "DOSOutputs.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class FileQueue;
class QTimer;

// The batch: converts the queue's files from its head, one tool process per file, and says when the
// batch is over. Our own tool, which answers the handshake, instead keeps one process per slot that
// converts file after file (ToolWorker); every rule below holds per file either way. With one file at a time (the
// default of the Parts) a file is converted after the one before it has ended and the command counts as over only when
// no process of the tool's name is left; with several, files start in list order as slots free up. Either way a tool
// counts as running while a process named like it is left in its process group; nobody else's process of that name
// counts. The files being converted are always the first rows of the queue, in the order they started; a file leaves
// the queue when its tool ends, and a file that failed comes back at the end of the batch. An input listed twice
// converts once: its second row ends with the first.
//
// The output folder is made (every level) before the first file starts; a folder that cannot be made
// or written stops the batch with one message and the list as it was. Where each output goes follows
// the "Output files" setting (OutputPlace); a folder below the output folder is made when its first
// file starts, and one that cannot be made fails that file with the reason while the batch goes on.
// In skip mode a file whose output is already there starts no tool and leaves the list as converted.
//
// With Loudness on (and our own tool), the files are analysed first, as jobs in the slots' workers like
// conversions, several at once; their rows show "analysing". An album's files can be anywhere in the
// list (CD1 and CD2 folders), and which album a file belongs to comes with its analysis (its tags), so
// the conversions start when the analyses of the files waiting have ended and every album's gain is
// known (LoudnessPlan). A failed analysis fails its file alone. A file added while the batch runs is
// analysed when it comes up, before any further conversion starts.
class BatchDriver : public QObject
{
    Q_OBJECT
public:
    enum class End {
        Finished,   // the queue ran empty
        Stopped,    // Stop
        CannotStart // the tool could not be started, or the output folder not used (a message box said why)
    };

    // How one file of the batch ended.
    enum class FileEnd { Converted, Failed, Skipped };

    // The settings of the moment for the next file: everything but the input path.
    using Settings = std::function<CommandBuilder::Request()>;

    BatchDriver(FileQueue* queue, Settings settings, QObject* parent = nullptr);
    ~BatchDriver() override;

    // Files converted at once: 1 to 8, or 0 for one per processor core. Read when a batch starts.
    void setFilesAtOnce(int n) { m_filesAtOnce = n; }

    // The start command once the queue holds a file: arms Timer1. False while a batch runs.
    bool Start();
    // Ends the batch now: every running tool is stopped and its file stays in the list; nothing half
    // written is left behind.
    void Stop();
    // Starts files into free slots, or ends the batch when nothing is left to convert.
    void ConvertNext();

    bool isConverting() const { return m_state != State::Idle; }
    int running() const { return int(m_running.size()); }
    const BatchOutcome& outcome() const { return m_outcome; }
    // What loudness did to a file of this batch ("-6.5 dB", or why it got no gain); empty when none.
    QString loudnessNote(const QString& input) const { return m_gains.value(input).note; }
    // Tools told to stop that have not ended yet; their part files go as each ends.
    int toolsEnding() const { return m_toolsEnding; }

    // The Part's names: the one-shot start timer, the first slot's runner and its input's length.
    QTimer* Timer1 = nullptr;
    DOSOutputs* objDOS = nullptr;
    qint32 lTotalSeconds = 0;

signals:
    // A file's tool has started; row is where the file stands in the queue.
    void fileStarted(const QString& input, int row);
    // How far a running file has come, 0 to 100, as its tool says it.
    void fileProgress(const QString& input, int percent);
    // A file's tool has ended (or the file never reached one); reason is empty unless it failed.
    void fileEnded(const QString& input, BatchDriver::FileEnd how, const QString& reason);
    // The last tool told to stop has ended: nothing of the batch is running or half-written any more.
    void toolsEnded();
    // The bar (0 .. ProgressParser::kBarFullWidth) and the label.
    void progressChanged(int barWidth, const QString& caption);
    // The folder the batch wrote to (empty when nothing was converted), and how it ended. Failed files
    // are back in the queue by then.
    void batchEnded(BatchDriver::End end, const QString& outputFolder);
    // Something the user should know about the whole batch, said once per batch (a setting it cannot
    // honour).
    void batchNote(const QString& text);

private:
    struct Slot;

    enum class State {
        Idle,
        Converting,
        CannotStart // the tool could not be started: nothing more starts, the running files end the batch
    };
    // How starting one file went.
    enum class FileStart {
        Started,
        Settled,    // no tool for it: skipped, or failed for want of a folder or a name; off the list
        CannotStart // the tool could not be started (a message box said why); the file stays
    };

    void Timer1_Timer();
    FileStart startFile(Slot* slot, const QString& input);
    // Picks the name the file's output takes; false when the file is settled without a tool.
    bool chooseOutput(CommandBuilder::Request& request, int row);
    // The folder this file's output goes into, made if need be; empty after recording the failure.
    QString outputFolderFor(const CommandBuilder::Request& request, int row);
    void objDOS_ReceiveOutputs(Slot* slot, const QString& CommandOutputs);
    void objDOS_CommandOver(Slot* slot);
    void stoppedToolEnded(const QString& input, const QString& output, pid_t pid, ToolRunner::ExitInfo exit);
    bool startsAsConvertedCopy(const QString& input);
    void showBatchProgress();
    void end(End how);
    Slot* freeSlot();
    void askTool(const CommandBuilder::Request& settings);
    // Whether conversions wait for analyses (after starting what can start); decides loudness once.
    bool analysing(const CommandBuilder::Request& settings);
    void startAnalyses();
    void analysisOver(Slot* slot);
    int rowOf(const QString& input) const;

    FileQueue* m_queue;
    Settings m_settings;
    int m_filesAtOnce = 1;
    int m_slots = 1;
    State m_state = State::Idle;
    bool m_folderChecked = false;
    bool m_toolAsked = false;     // the tool was asked this batch whether it takes jobs
    bool m_toolTakesJobs = false; // it does: each slot keeps one tool process for its files
    QString m_outputFolder;
    BatchOutcome m_outcome;
    OutputNames m_outputNames;
    FolderMaker m_folders;
    int m_outputMode = 0;
    QString m_firstOutputFolder;      // where the first converted file went
    QHash<QString, QString> m_rootOf; // input path -> the added folder it was found in
    std::vector<std::unique_ptr<Slot>> m_allSlots;
    QList<Slot*> m_running;            // in the order they started: row i of the queue is m_running[i]'s file
    QHash<QString, bool> m_inputsDone; // input path -> whether it converted, for a second row of it
    double m_doneSeconds = 0;
    // Loudness, for this batch: the mode (Off once it cannot be honoured), the files waiting for
    // their analysis, the slots analysing, what the analyses gave and what each file gets.
    int m_loudness = LoudnessPlan::Off;
    bool m_loudnessDecided = false;
    QList<QString> m_toAnalyse;
    QList<Slot*> m_analysing;
    QList<LoudnessPlan::File> m_analysed;
    QSet<QString> m_analysedInputs; // analysed or failed: never analysed again this batch
    QHash<QString, LoudnessPlan::FileGain> m_gains;
    int m_toolsEnding = 0;
};
