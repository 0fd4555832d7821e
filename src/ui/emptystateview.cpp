#include "ui/emptystateview.h"

#include "ui/uistyle.h"

#include <QEvent>
#include <QLabel>
#include <QVBoxLayout>

EmptyStateView::EmptyStateView(QWidget *parent)
    : QWidget(parent)
    , m_icon(new QLabel(this))
    , m_title(new QLabel(this))
    , m_text(new QLabel(this))
{
    m_icon->setAlignment(Qt::AlignCenter);
    m_title->setObjectName(QStringLiteral("emptyStateTitle"));
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setWordWrap(true);
    m_title->setFont(UiStyle::font(UiStyle::TextStyle::title3, font(), QFont::DemiBold));
    m_text->setObjectName(QStringLiteral("emptyStateText"));
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setWordWrap(true);
    UiStyle::makeSecondary(m_text);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(6);
    layout->addStretch();
    layout->addWidget(m_icon);
    layout->addSpacing(4);
    layout->addWidget(m_title);
    layout->addWidget(m_text);
    layout->addStretch();
}

void EmptyStateView::setContent(const QString &symbolName, const QString &title, const QString &text)
{
    m_symbol = symbolName;
    m_title->setText(title);
    m_text->setText(text);
    m_text->setVisible(!text.isEmpty());
    updateIcon();
}

QString EmptyStateView::title() const
{
    return m_title->text();
}

QString EmptyStateView::text() const
{
    return m_text->text();
}

void EmptyStateView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        UiStyle::makeSecondary(m_text);
        updateIcon();
    }
}

void EmptyStateView::updateIcon()
{
    if (m_symbol.isEmpty()) {
        m_icon->clear();
        return;
    }
    m_icon->setPixmap(UiStyle::symbol(m_symbol, 44, UiStyle::secondary(palette()), devicePixelRatioF()));
}
