#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace brisquel {

// The file dialogs of the program, with a hook that lets tests answer the next dialog in advance.
class FileDialog
{
public:
    // The chosen file, or empty text when the user cancels.
    static QString getOpenFileName(QWidget* parent, const QString& caption, const QString& directory,
                                   const QString& filter);

    // `path` is the folder and proposed file name; empty text when the user cancels.
    static QString getSaveFileName(QWidget* parent, const QString& caption, const QString& path,
                                   const QString& filter);

    // The next dialog is not shown and returns this; empty text acts as Cancel.
    static void setNextFileName(const QString& fileName);
    static QString lastDirectory() { return s_lastDirectory; }
    static QString lastFilter() { return s_lastFilter; }

private:
    // Notes what the dialog was asked, and takes the answer set in advance, if any.
    static std::optional<QString> answerGiven(const QString& directory, const QString& filter);

    static std::optional<QString> s_nextFileName;
    static QString s_lastDirectory;
    static QString s_lastFilter;
};

} // namespace brisquel
