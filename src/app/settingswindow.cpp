#include "app/settingswindow.h"

#include "ui/shellactions.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QGuiApplication>
#include <QKeySequence>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QVBoxLayout>

namespace
{
/** Screen readers announce a plain widget as a pane; this one is a window with a title. */
QAccessibleInterface *windowAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("SettingsWindow") && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
    return nullptr;
}
}

SettingsWindow::SettingsWindow(const SettingsServices &services, ShellActions &shell, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_view(new SettingsView(services, this))
{
    static const bool factoryInstalled = (QAccessible::installFactory(windowAccessible), true);
    Q_UNUSED(factoryInstalled);
    setObjectName(identifier);
    setWindowTitle(tr("Kestrove Settings"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);

    for (const QKeySequence &keys : {QKeySequence(Qt::Key_Escape), QKeySequence(QKeySequence::Close)}) {
        auto *close = new QShortcut(keys, this);
        connect(close, &QShortcut::activated, this, &QWidget::close);
    }
    auto *quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    connect(quit, &QShortcut::activated, this, [&shell] { shell.quit(); });

    const QScreen *screen = QGuiApplication::primaryScreen();
    // On a small screen the window keeps inside it; its tabs scroll.
    const QSize size = screen ? defaultSize.boundedTo(screen->availableGeometry().size()) : defaultSize;
    if (screen)
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, screen->availableGeometry()));
    else
        resize(size);
}
