#include "file_dialog.h"

#include <QFileDialog>

namespace brisquel {

std::optional<QString> FileDialog::s_nextFileName;
QString FileDialog::s_lastDirectory;
QString FileDialog::s_lastFilter;

QString FileDialog::getOpenFileName(QWidget* parent, const QString& caption, const QString& directory,
                                    const QString& filter)
{
    s_lastDirectory = directory;
    s_lastFilter = filter;
    if (s_nextFileName) {
        const QString fileName = *s_nextFileName;
        s_nextFileName.reset();
        return fileName;
    }
    return QFileDialog::getOpenFileName(parent, caption, directory, filter);
}

QString FileDialog::getSaveFileName(QWidget* parent, const QString& caption, const QString& path,
                                    const QString& filter)
{
    s_lastDirectory = path;
    s_lastFilter = filter;
    if (s_nextFileName) {
        const QString fileName = *s_nextFileName;
        s_nextFileName.reset();
        return fileName;
    }
    return QFileDialog::getSaveFileName(parent, caption, path, filter);
}

void FileDialog::setNextFileName(const QString& fileName)
{
    s_nextFileName = fileName;
}

} // namespace brisquel
