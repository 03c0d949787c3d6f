#pragma once

#include <QMainWindow>

namespace brisquel {

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
};

} // namespace brisquel
