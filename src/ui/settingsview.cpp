#include "ui/settingsview.h"

#include "ui/symbolicon.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

namespace
{
QWidget *tabPage(const QString &objectName, const QString &text, QWidget *parent)
{
    auto *page = new QWidget(parent);
    page->setObjectName(objectName);
    auto *label = new QLabel(text, page);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(label);
    return page;
}
}

SettingsView::SettingsView(QWidget *parent)
    : QWidget(parent)
    , m_tabs(new QTabWidget(this))
{
    setObjectName(QStringLiteral("settings-view"));
    m_tabs->setObjectName(QStringLiteral("settings-tabs"));
    m_tabs->setDocumentMode(true);

    m_tabs->addTab(tabPage(QStringLiteral("settings-general"), tr("Startup, refresh and automation."), m_tabs),
                   SymbolIcon::icon(QStringLiteral("gear")), tr("General"));
    m_tabs->addTab(tabPage(QStringLiteral("settings-api-keys"), tr("Tracking provider and API key."), m_tabs),
                   SymbolIcon::icon(QStringLiteral("key")), tr("API Keys"));
    m_tabs->addTab(tabPage(QStringLiteral("settings-notifications"), tr("Notifications and quiet hours."), m_tabs),
                   SymbolIcon::icon(QStringLiteral("bell")), tr("Notifications"));
    m_tabs->addTab(tabPage(QStringLiteral("settings-about"),
                           tr("Kestrove %1").arg(QCoreApplication::applicationVersion()), m_tabs),
                   SymbolIcon::icon(QStringLiteral("info.circle")), tr("About"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tabs);
}
