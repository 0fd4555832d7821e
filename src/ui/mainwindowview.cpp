#include "ui/mainwindowview.h"

#include "ui/symbolicon.h"

#include <QLabel>
#include <QPalette>
#include <QVBoxLayout>

MainWindowView::MainWindowView(ModelContext *context, ShellActions *shell, QWidget *parent)
    : QWidget(parent)
    , m_context(context)
    , m_shell(shell)
{
    setObjectName(QStringLiteral("main-window-view"));

    auto *icon = new QLabel(this);
    const QColor secondary = palette().color(QPalette::PlaceholderText);
    icon->setPixmap(SymbolIcon::tinted(QStringLiteral("shippingbox"), 48, secondary, devicePixelRatioF()));
    icon->setAlignment(Qt::AlignCenter);

    auto *title = new QLabel(tr("Select a Package"), this);
    title->setObjectName(QStringLiteral("empty-state-title"));
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    titleFont.setBold(true);
    title->setFont(titleFont);
    title->setAlignment(Qt::AlignCenter);

    auto *text = new QLabel(tr("Choose a package from the sidebar to view its details."), this);
    text->setAlignment(Qt::AlignCenter);
    text->setWordWrap(true);
    QPalette textPalette = text->palette();
    textPalette.setColor(QPalette::WindowText, secondary);
    text->setPalette(textPalette);

    auto *layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addWidget(icon);
    layout->addWidget(title);
    layout->addWidget(text);
    layout->addStretch();
}
