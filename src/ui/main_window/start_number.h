#pragma once

#include <QObject>
#include <QString>

class QLineEdit;

namespace brisquel {

// The start number beside the list's entry count. A number the program sets one past the end is
// a finished list and starts over at 1; one the user types past the end is refused, and the last
// good one stays, so that a typo never loses the place.
class StartNumberGuard : public QObject
{
    Q_OBJECT
public:
    StartNumberGuard(QLineEdit* startNumber, QLineEdit* entryCount, QObject* parent = nullptr);

    // A start number the program sets.
    void set(const QString& number);
    // Puts the last valid start number back when the typed one lies past the end; true then.
    bool refusePastEnd();

Q_SIGNALS:
    // A typed number was refused: what the status bar says about it.
    void refused(const QString& notice);

private:
    bool pastEnd(qlonglong* count) const;
    void check();

    QLineEdit* m_startNumber;
    QLineEdit* m_entryCount;
    // The start number the user typed last that lies within the list, kept when a later one does not.
    QString m_validStartNumber = QStringLiteral("1");
    bool m_setting = false;
};

} // namespace brisquel
