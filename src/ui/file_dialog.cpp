#include "file_dialog.h"

#include <QFileDialog>
#include <utility>

namespace brisquel {

std::optional<QString> FileDialog::s_nextFileName;
QString FileDialog::s_lastDirectory;
QString FileDialog::s_lastFilter;

QString FileDialog::getOpenFileName(QWidget* parent, const QString& caption, const QString& directory,
                                    const QString& filter)
{
    if (std::optional<QString> fileName = answerGiven(directory, filter))
        return *fileName;
    return QFileDialog::getOpenFileName(parent, caption, directory, filter);
}

QString FileDialog::getSaveFileName(QWidget* parent, const QString& caption, const QString& path,
                                    const QString& filter)
{
    if (std::optional<QString> fileName = answerGiven(path, filter))
        return *fileName;
    return QFileDialog::getSaveFileName(parent, caption, path, filter);
}

std::optional<QString> FileDialog::answerGiven(const QString& directory, const QString& filter)
{
    s_lastDirectory = directory;
    s_lastFilter = filter;
    return std::exchange(s_nextFileName, std::nullopt);
}

void FileDialog::setNextFileName(const QString& fileName)
{
    s_nextFileName = fileName;
}

} // namespace brisquel
