#include "OutputPlace.h"

#include "filelist/GetFile.h"

namespace OutputPlace {

namespace {
QString withSlash(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}
} // namespace

QString FolderFor(OutputLayout mode, const QString& outputFolder, const QString& input, const QString& root)
{
    const QString inputFolder = input.left(input.size() - GetFile::ParseFileName(input).size());
    if (mode == OutputLayout::BesideOriginal)
        return inputFolder.isEmpty() ? QStringLiteral("./") : inputFolder;
    const QString base = withSlash(outputFolder);
    if (mode != OutputLayout::KeepFolders || root.isEmpty())
        return base;
    const QString rootSlash = withSlash(root);
    // A file that is not beneath its folder any more (a hand-edited list) goes where a lone file goes.
    if (!inputFolder.startsWith(rootSlash))
        return base;
    QString rootName = root;
    while (rootName.endsWith(QLatin1Char('/')))
        rootName.chop(1);
    rootName = GetFile::ParseFileName(rootName);
    const QString below = inputFolder.mid(rootSlash.size());
    // The root of the file system has no name to copy: its tree goes straight into the output folder.
    return rootName.isEmpty() ? base + below : base + rootName + QLatin1Char('/') + below;
}

} // namespace OutputPlace
