// Saves pictures of the main screens on a varied store, in a light and a dark palette, for people
// to look at (not a test). Usage: screenshots [OUTPUT_FOLDER]; run it under xvfb-run or offscreen.
#include "model/modelcontainer.h"
#include "model/modelcontext.h"
#include "screenfixture.h"
#include "services/apikeystore.h"
#include "services/updatechecker.h"
#include "showcase.h"
#include "taskrunner.h"
#include "temporaryhome.h"
#include "testmain.h"
#include "ui/addpackagedialog.h"
#include "ui/groupmanagementview.h"
#include "ui/mainwindowview.h"
#include "ui/menubarpopoverview.h"
#include "ui/onboardingview.h"
#include "ui/packagelistmodel.h"
#include "ui/packagelistview.h"
#include "ui/settingsview.h"
#include "ui/shellactions.h"

#include <QApplication>
#include <QDir>
#include <QPalette>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace
{
class QuietShell final : public ShellActions
{
public:
    void openMainWindow() override { }
    void openSettings() override { }
    void quit() override { }
};

QPalette darkPalette()
{
    QPalette p;
    const QColor window(0x2b, 0x2b, 0x2e);
    const QColor text(0xec, 0xec, 0xee);
    for (const auto role : {QPalette::Window, QPalette::AlternateBase, QPalette::ToolTipBase})
        p.setColor(role, window);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::ToolTipText})
        p.setColor(role, text);
    p.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x20));
    p.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3d));
    p.setColor(QPalette::Highlight, QColor(0x0a, 0x84, 0xff));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::PlaceholderText, QColor(0x8e, 0x8e, 0x93));
    p.setColor(QPalette::Link, QColor(0x40, 0x9c, 0xff));
    p.setColor(QPalette::Mid, QColor(0x48, 0x48, 0x4a));
    p.setColor(QPalette::Light, QColor(0x55, 0x55, 0x58));
    p.setColor(QPalette::Dark, QColor(0x18, 0x18, 0x1a));
    return p;
}

bool save(QWidget *widget, const QString &path)
{
    QTest::qWait(100); // let coalesced rebuilds and icon loads finish
    const bool saved = widget->grab().save(path);
    qInfo("%s %s", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}
}

int main(int argc, char *argv[])
{
    TemporaryHome home;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TestSupport::setApplicationIdentity();
    TestSupport::setUpIconTheme();
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(folder);
    auto opened = ModelContainer::open(home.path() + u"/showcase.sqlite"_s);
    if (!opened || !TestSupport::fillShowcase(*opened.value()))
        return 1;
    ModelContext *context = opened.value().get();
    QuietShell shell;
    ScreenFixture screen(home.path() + u"/preferences.conf"_s);
    ApiKeyStore keys({[] { return std::optional<QString>(u"demo-key"_s); }, {}});
    TestSupport::runTask(keys.load());
    UpdateChecker::Options updateOptions;
    updateOptions.clock = Clock::shared();
    updateOptions.preferences = &screen.preferences;
    updateOptions.manifestUrl = QUrl(u"http://127.0.0.1:9/update.json"_s); // nothing answers
    UpdateChecker updates(updateOptions);
    SettingsServices settingsServices {&screen.preferences, &keys, screen.tracking.get(), &updates,
                                       Clock::shared(),     {}};
    bool ok = true;
    for (const bool dark : {false, true}) {
        QApplication::setPalette(dark ? darkPalette() : QPalette());
        const QString suffix = dark ? u"-dark.png"_s : u"-light.png"_s;
        MainWindowView view(screen.services(context), &shell);
        view.resize(1000, 680);
        view.show();
        ok = QTest::qWaitForWindowExposed(&view) && ok;
        view.setSelectedPackage(view.packageList()->listModel()->packageAt(1));
        ok = save(&view, folder + u"/main-list"_s + suffix) && ok;
        view.showAddPackage(u"1Z999AA10123456784"_s);
        ok = QTest::qWaitFor([&] { return view.addPackageSheet() && view.addPackageSheet()->isVisible(); })
            && save(view.addPackageSheet(), folder + u"/add-sheet"_s + suffix) && ok;
        if (view.addPackageSheet())
            view.addPackageSheet()->reject();
        GroupManagementView groups(context, &view);
        groups.show();
        ok = QTest::qWaitForWindowExposed(&groups) && save(&groups, folder + u"/group-sheet"_s + suffix) && ok;
        MenuBarPopoverView popover(screen.services(context), &shell);
        popover.resize(340, 420);
        popover.show();
        ok = QTest::qWaitForWindowExposed(&popover) && save(&popover, folder + u"/popover"_s + suffix) && ok;

        SettingsView settings(settingsServices);
        settings.resize(560, 520);
        settings.show();
        ok = QTest::qWaitForWindowExposed(&settings) && ok;
        const QStringList tabs {u"general"_s, u"api-keys"_s, u"notifications"_s, u"about"_s};
        for (int tab = 0; tab < tabs.size(); ++tab) {
            settings.showTab(SettingsView::Tab(tab));
            ok = save(&settings, folder + u"/settings-"_s + tabs.at(tab) + suffix) && ok;
        }
        OnboardingView onboarding(&screen.preferences, nullptr);
        onboarding.show();
        ok = QTest::qWaitForWindowExposed(&onboarding) && ok;
        for (int page = 0; page < OnboardingView::totalPages; ++page) {
            onboarding.setCurrentPage(page);
            ok = save(&onboarding, folder + u"/introduction-"_s + QString::number(page + 1) + suffix) && ok;
        }
    }
    return ok ? 0 : 1;
}
