#include "app/settingswindow.h"

#include "ui/settingsview.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

SettingsWindow::SettingsWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_view(new SettingsView(this))
{
    setObjectName(identifier);
    setWindowTitle(tr("Kestrove Settings"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, defaultSize, screen->availableGeometry()));
    else
        resize(defaultSize);
}
