#include "app/kestroveapp.h"

#include <QApplication>
#include <QMainWindow>

int KestroveApp::main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("com.kestrove.app"));
    QApplication::setApplicationName(QStringLiteral("Kestrove"));
    QApplication::setApplicationVersion(QStringLiteral(KESTROVE_VERSION));
    QMainWindow window;
    window.setObjectName(QStringLiteral("main-window"));
    window.setWindowTitle(QStringLiteral("Kestrove"));
    window.resize(800, 600);
    window.show();
    return app.exec();
}
