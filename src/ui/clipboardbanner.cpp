#include "ui/clipboardbanner.h"

#include "ui/symbolicon.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

ClipboardBanner::ClipboardBanner(QWidget *parent)
    : QWidget(parent)
    , m_numberLabel(new QLabel(this))
{
    setObjectName(QStringLiteral("clipboard-banner"));

    auto *icon = new QLabel(this);
    icon->setPixmap(
        SymbolIcon::tinted(QStringLiteral("doc.on.clipboard"), 20, QColor(0x0a, 0x84, 0xff), devicePixelRatioF()));

    auto *caption = new QLabel(tr("Tracking number detected"), this);
    QFont captionFont = caption->font();
    captionFont.setPointSizeF(captionFont.pointSizeF() * 0.9);
    captionFont.setWeight(QFont::DemiBold);
    caption->setFont(captionFont);

    m_numberLabel->setObjectName(QStringLiteral("clipboard-banner-number"));
    QFont numberFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    numberFont.setPointSizeF(captionFont.pointSizeF());
    m_numberLabel->setFont(numberFont);
    m_numberLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(caption);
    texts->addWidget(m_numberLabel);

    auto *add = new QPushButton(tr("Add"), this);
    add->setObjectName(QStringLiteral("clipboard-banner-add"));
    auto *dismiss = new QPushButton(tr("Dismiss"), this);
    dismiss->setObjectName(QStringLiteral("clipboard-banner-dismiss"));
    dismiss->setFlat(true);
    connect(add, &QPushButton::clicked, this, [this] { Q_EMIT addClicked(m_number); });
    connect(dismiss, &QPushButton::clicked, this, &ClipboardBanner::dismissClicked);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(12, 8, 12, 8);
    row->setSpacing(10);
    row->addWidget(icon);
    row->addLayout(texts);
    row->addStretch();
    row->addWidget(add);
    row->addWidget(dismiss);
}

void ClipboardBanner::setTrackingNumber(const QString &number)
{
    m_number = number;
    m_numberLabel->setText(number);
}

void ClipboardBanner::paintEvent(QPaintEvent *)
{
    // A translucent rounded card over the window background.
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QColor fill = palette().color(QPalette::Base);
    fill.setAlphaF(0.75);
    QColor border = palette().color(QPalette::Mid);
    border.setAlphaF(0.5);
    QPainterPath card;
    card.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
    p.fillPath(card, fill);
    p.setPen(border);
    p.drawPath(card);
}
