#include "filelist/CCommonDialogs.h"
#include "filelist/COMDLG.h"
#include "ui/DialogSeam.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Answers file dialogs from a script and keeps every request.
struct ScriptedFiles
{
    QList<DialogSeam::FileRequest> requests;
    QList<std::optional<QString>> answers;

    ScriptedFiles()
    {
        DialogSeam::setFileAnswerer([this](const DialogSeam::FileRequest& r) {
            requests.append(r);
            return answers.isEmpty() ? std::nullopt : answers.takeFirst();
        });
    }
    ~ScriptedFiles() { DialogSeam::setFileAnswerer({}); }
};

TEST(CommonDialogs, OpenRemembersItsFolderAndChoiceForTheNextOpening)
{
    ScriptedFiles files;
    files.answers = {QStringLiteral("/x/a.mp3"), QStringLiteral("/y/b.wav")};
    CCommonDialogs dialogs;
    dialogs.setTitle(QStringLiteral("Open Files"));
    ASSERT_TRUE(dialogs.ShowOpen());
    EXPECT_EQ(dialogs.FileName(), QStringLiteral("/x/a.mp3"));
    EXPECT_EQ(dialogs.Path(), QStringLiteral("/x"));
    EXPECT_EQ(dialogs.FileTitle(), QStringLiteral("a.mp3"));
    ASSERT_TRUE(dialogs.ShowOpen());
    ASSERT_EQ(files.requests.size(), 2);
    EXPECT_EQ(files.requests[0].folder, QDir::currentPath());
    EXPECT_EQ(files.requests[1].folder, QStringLiteral("/x"));
    EXPECT_EQ(files.requests[1].fileName, QStringLiteral("/x/a.mp3"));
    EXPECT_EQ(files.requests[1].title, QStringLiteral("Open Files"));
    EXPECT_TRUE(files.requests[1].filters.isEmpty()) << "an empty filter shows every file";
    EXPECT_EQ(dialogs.Path(), QStringLiteral("/y"));
}

TEST(CommonDialogs, CancelledOpenChangesNothing)
{
    ScriptedFiles files;
    files.answers = {QStringLiteral("/x/a.mp3"), std::nullopt};
    CCommonDialogs dialogs;
    ASSERT_TRUE(dialogs.ShowOpen());
    EXPECT_FALSE(dialogs.ShowOpen());
    EXPECT_EQ(dialogs.FileName(), QStringLiteral("/x/a.mp3"));
    EXPECT_EQ(dialogs.FileTitle(), QStringLiteral("a.mp3"));
    EXPECT_EQ(dialogs.Path(), QStringLiteral("/x"));
}

TEST(CommonDialogs, TextReadersStopAtTheFirstNul)
{
    CCommonDialogs dialogs;
    dialogs.setFileName(QStringLiteral("/x/a.mp3") + QChar(0) + QStringLiteral("junk"));
    dialogs.setTitle(QStringLiteral("T") + QChar(0));
    dialogs.setPath(QString(QChar(0)) + QStringLiteral("gone"));
    dialogs.setFilter(QStringLiteral("a|b") + QChar(0) + QStringLiteral("c"));
    EXPECT_EQ(dialogs.FileName(), QStringLiteral("/x/a.mp3"));
    EXPECT_EQ(dialogs.Title(), QStringLiteral("T"));
    EXPECT_EQ(dialogs.Path(), QString());
    EXPECT_EQ(dialogs.Filter().size(), 5) << "other readers give the value unchanged";
}

TEST(OpenFileFunction, OpensInTheProgramFolderUnlessGivenAFolderWithEntries)
{
    QTemporaryDir program;
    QTemporaryDir music;
    QFile(music.filePath(QStringLiteral(".hidden"))).open(QIODevice::WriteOnly);
    ScriptedFiles files;
    files.answers = {QStringLiteral("/m/a b.wav"), std::nullopt, std::nullopt, std::nullopt};

    QString folder;
    EXPECT_EQ(
        COMDLG::ShowOpenFile(nullptr, QStringLiteral("Open Files"), folder, program.path(), QStringLiteral("*.*|*.*")),
        QStringLiteral("/m/a b.wav"));
    EXPECT_EQ(folder, program.path());
    EXPECT_EQ(files.requests[0].filters, QStringList{QStringLiteral("*.* (*)")});
    folder = QStringLiteral("/no/such/folder");
    EXPECT_EQ(COMDLG::ShowOpenFile(nullptr, QStringLiteral("t"), folder, program.path()), QString());
    EXPECT_EQ(folder, program.path());
    folder = music.path();
    COMDLG::ShowOpenFile(nullptr, QStringLiteral("t"), folder, program.path());
    EXPECT_EQ(folder, music.path() + QLatin1Char('/')) << "a folder holding only a hidden file counts";
    QTemporaryDir empty;
    folder = empty.path();
    COMDLG::ShowOpenFile(nullptr, QStringLiteral("t"), folder, program.path());
    EXPECT_EQ(folder, program.path());
}

} // namespace
