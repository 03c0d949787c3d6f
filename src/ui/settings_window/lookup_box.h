#pragma once

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QSpinBox;

namespace brisquel {

class ExtensionSettings;

// How the names are asked: every lookup to the "proxy" row, RDAP first, free names confirmed over
// RDAP, DNS before the registries (and which DNS server), and how long the history's "taken" holds.
class LookupBox : public QWidget
{
    Q_OBJECT
public:
    explicit LookupBox(ExtensionSettings* settings, QWidget* parent = nullptr);

    QList<QWidget*> tabOrder() const;

Q_SIGNALS:
    void failed(const QString& message);

private:
    void dnsServerLeft();

    ExtensionSettings* m_settings;
    QCheckBox* m_proxyBox = nullptr;
    QCheckBox* m_rdapBox = nullptr;
    QCheckBox* m_confirmBox = nullptr;
    QCheckBox* m_dnsBox = nullptr;
    QLineEdit* m_dnsServerEdit = nullptr;
    QSpinBox* m_historyDaysBox = nullptr;
};

} // namespace brisquel
