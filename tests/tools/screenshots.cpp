// Saves pictures of the main screens on a varied store, in a light, a dark and a high-contrast palette, for people
// to look at (not a test). Usage: screenshots [OUTPUT_FOLDER]; run it under xvfb-run or offscreen.
#include "app/appcomposition.h"
#include "app/kestroveapp.h"
#include "app/mainwindow.h"
#include "fakemapservers.h"
#include "model/modelcontainer.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/trackingevent.h"
#include "screenfixture.h"
#include "services/apikeystore.h"
#include "services/carrierlogoservice.h"
#include "services/geocoder.h"
#include "services/maptileservice.h"
#include "services/packagejourney.h"
#include "services/updatechecker.h"
#include "showcase.h"
#include "taskrunner.h"
#include "temporaryhome.h"
#include "testmain.h"
#include "ui/addpackagedialog.h"
#include "ui/appstyle.h"
#include "ui/calendarview.h"
#include "ui/groupmanagementview.h"
#include "ui/mainwindowview.h"
#include "ui/menubarpopoverview.h"
#include "ui/onboardingview.h"
#include "ui/packagedetailview.h"
#include "ui/packagelistmodel.h"
#include "ui/packagelistview.h"
#include "ui/packagemapsection.h"
#include "ui/packagesettingspopover.h"
#include "ui/settingsview.h"
#include "ui/shellactions.h"
#include "virtualclock.h"

#include <QApplication>
#include <QDir>
#include <QListView>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QPainter>
#include <QPalette>
#include <QScreen>
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

/** A month of deliveries around the clock's today, and one day with two thousand. */
bool fillCalendar(ModelContext &context, const QDateTime &now)
{
    const QStringList labels {u"Running shoes"_s, u"Desk lamp"_s,     u"Book"_s,         u"Camera lens"_s,
                              u"Phone case"_s,    u"Winter jacket"_s, u"Coffee beans"_s, u"Headphones"_s,
                              u"Garden hose"_s,   u"Board game"_s,    u"Printer ink"_s,  u"Yoga mat"_s};
    const QStringList carriers {u"ups"_s, u"usps"_s, u"dhl"_s, u"fedex"_s, u"amazon"_s};
    const QList<TrackingStatus> statuses {TrackingStatus::inTransit,     TrackingStatus::outForDelivery,
                                          TrackingStatus::delivered,     TrackingStatus::pending,
                                          TrackingStatus::failedAttempt, TrackingStatus::exception};
    const QDate first(now.date().year(), now.date().month(), 1);
    int n = 0;
    for (int day = 0; day < first.daysInMonth(); day += 2) {
        for (int k = 0; k <= (day * 7) % 4; ++k, ++n) {
            auto *p = new Package(u"1Z%1"_s.arg(100000 + n), carriers.at(n % carriers.size()),
                                  labels.at(n % labels.size()), statuses.at(n % statuses.size()));
            p->setEstimatedDelivery(first.addDays(day).startOfDay().addSecs(9 * 3600 + 1800 * k));
            if (n % 5 == 0)
                p->setColorTag(u"#FF9500"_s);
            context.insert(p);
        }
    }
    for (int i = 0; i < 2000; ++i) {
        auto *p = new Package(u"BULK%1"_s.arg(i, 5, 10, QLatin1Char('0')), carriers.at(i % carriers.size()),
                              i % 3 ? labels.at(i % labels.size()) : QString(), statuses.at(i % statuses.size()));
        p->setEstimatedDelivery(first.addDays(17).startOfDay().addSecs(8 * 3600 + i));
        context.insert(p);
    }
    return context.save().ok();
}

/** A package with a long history, so that the timeline shows many rows. */
Package *addTraveller(ModelContext &context)
{
    const QDateTime now = QDateTime::currentDateTime();
    auto *p = new Package(u"LB987654321SG"_s, u"4px"_s, u"Keyboard from Shenzhen"_s, TrackingStatus::inTransit,
                          now.addDays(6), u"Gift for Sam: keep the box."_s);
    p->setColorTag(u"#AF52DE"_s);
    p->setLastErrorMessage(u"Network error: The request timed out."_s);
    const QStringList places = {u"Shenzhen, Guangdong, CN"_s, u"Hong Kong, HK, CN"_s, u""_s,
                                u"Anchorage, AK, US"_s,       u"Chicago, IL, US"_s,   u"Columbus, OH, US"_s};
    for (int i = 0; i < 40; ++i) {
        const TrackingStatus status = i == 0 ? TrackingStatus::pending
            : i == 17                        ? TrackingStatus::exception
                                             : TrackingStatus::inTransit;
        p->appendEvent(std::make_unique<TrackingEvent>(now.addSecs(-3600 * 7 * (40 - i)), status,
                                                       u"Parcel processed at sorting centre, step %1"_s.arg(i + 1),
                                                       places.at(i % places.size())));
    }
    context.insert(p);
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
    AppStyle::install();
    TestSupport::setApplicationIdentity();
    TestSupport::setUpIconTheme();
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(folder);
    auto opened = ModelContainer::open(home.path() + u"/showcase.sqlite"_s);
    if (!opened || !TestSupport::fillShowcase(*opened.value()))
        return 1;
    ModelContext *context = opened.value().get();
    VirtualClock clock(QDateTime(QDate(2026, 7, 9), QTime(10, 0)));
    auto calendarStore = ModelContainer::open(home.path() + u"/calendar.sqlite"_s);
    if (!calendarStore || !fillCalendar(*calendarStore.value(), clock.now()))
        return 1;
    Package *traveller = addTraveller(*context);
    if (!context->save())
        return 1;
    QuietShell shell;
    ScreenFixture screen(home.path() + u"/preferences.conf"_s);
    // Logos come from the disk cache only: a drawn stand-in for UPS, and no address that answers.
    for (const char *variable : {"KESTROVE_LOGO_ASSET_URL", "KESTROVE_ICON_SERVICE_URL", "KESTROVE_FAVICON_SERVICE_URL",
                                 "KESTROVE_CARRIER_SITE_URL"})
        qputenv(variable, "http://127.0.0.1:9");
    const QString logoCache = home.path() + u"/logos"_s;
    QDir().mkpath(logoCache);
    QImage standIn(64, 64, QImage::Format_ARGB32);
    standIn.fill(QColor(0x35, 0x1c, 0x15));
    QPainter(&standIn).fillRect(12, 12, 40, 40, QColor(0xff, 0xb5, 0x00));
    standIn.save(logoCache + u"/ups.png"_s);
    QNetworkAccessManager network;
    CarrierLogoService logos(&network, logoCache);
    // The journey map looks its places up and draws its tiles from local stand-ins.
    FakeMapServers::CityMap map;
    if (!map.start())
        return 1;
    Geocoder geocoder(&network, Clock::shared(), home.path() + u"/maps"_s);
    MapTileService mapTiles(&network, Clock::shared(), home.path() + u"/maps"_s);
    map.serve(geocoder, mapTiles);
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
    const QList<std::pair<QPalette, QString>> palettes {{QPalette(), u"-light.png"_s},
                                                        {TestSupport::darkPalette(), u"-dark.png"_s},
                                                        {TestSupport::highContrastPalette(), u"-contrast.png"_s}};
    for (const auto &[palette, suffix] : palettes) {
        QApplication::setPalette(palette);
        ScreenServices services = screen.services(context);
        services.logos = &logos;
        services.geocoder = &geocoder;
        services.mapTiles = &mapTiles;
        MainWindowView view(services, &shell);
        view.resize(1000, 680);
        view.show();
        ok = QTest::qWaitForWindowExposed(&view) && ok;
        view.setSelectedPackage(view.packageList()->listModel()->packageAt(1));
        ok = save(&view, folder + u"/main-list"_s + suffix) && ok;
        view.setBatchMode(true);
        view.packageList()->listModel()->toggleBatchSelection(view.packageList()->listModel()->packageAt(0));
        ok = save(&view, folder + u"/main-batch"_s + suffix) && ok;
        view.setBatchMode(false);
        view.setSelectedPackage(traveller);
        // Each place is looked up once a second: wait for the route before the picture.
        const auto *section = view.detailView()->findChild<PackageMapSection *>();
        ok = section && QTest::qWaitFor([&] { return !section->journey()->isGeocoding(); }, 15000) && ok;
        QTest::qWait(500); // tiles
        ok = save(&view, folder + u"/detail-40-events"_s + suffix) && ok;
        view.detailView()->showPackageSettings();
        ok = QTest::qWaitFor([&] { return view.detailView()->packageSettings(); })
            && save(view.detailView()->packageSettings(), folder + u"/package-settings"_s + suffix) && ok;
        if (view.detailView()->packageSettings())
            view.detailView()->packageSettings()->close();
        // The unknown carrier's package has no events: the timeline's empty state.
        view.setSelectedPackage(view.packageList()->listModel()->packageAt(7));
        ok = save(&view, folder + u"/detail-no-events"_s + suffix) && ok;
        view.detailView()->confirmDelete();
        ok = QTest::qWaitFor([&] { return view.detailView()->deleteConfirmation(); })
            && save(view.detailView()->deleteConfirmation(), folder + u"/delete-confirmation"_s + suffix) && ok;
        if (view.detailView()->deleteConfirmation())
            view.detailView()->deleteConfirmation()->reject();
        view.resize(900, 600);
        view.setSelectedPackage(traveller);
        ok = save(&view, folder + u"/small-screen"_s + suffix) && ok;
        view.resize(1000, 680);
        view.showAddPackage(u"1Z999AA10123456784"_s);
        ok = QTest::qWaitFor([&] { return view.addPackageSheet() && view.addPackageSheet()->isVisible(); })
            && save(view.addPackageSheet(), folder + u"/add-sheet"_s + suffix) && ok;
        if (view.addPackageSheet())
            view.addPackageSheet()->reject();
        GroupManagementView groups(context, &view);
        groups.show();
        ok = QTest::qWaitForWindowExposed(&groups) && save(&groups, folder + u"/group-sheet"_s + suffix) && ok;
        MenuBarPopoverView popover(screen.services(context), &shell);
        // As the tray panel holds it: its width, as tall as its content.
        popover.setFixedWidth(332);
        popover.adjustSize();
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
        CalendarView calendar(calendarStore.value().get(), &clock);
        calendar.resize(1000, 680);
        calendar.show();
        ok = QTest::qWaitForWindowExposed(&calendar) && save(&calendar, folder + u"/calendar-month"_s + suffix) && ok;
        calendar.setSelectedDate(QDate(2026, 7, 18));
        calendar.dayList()->scrollTo(calendar.dayList()->model()->index(1000, 0));
        ok = save(&calendar, folder + u"/calendar-busy-day"_s + suffix) && ok;
    }

    // The whole screen with the application's own main window, as it opens (run under a small
    // screen to see it fit), with the clipboard banner over it.
    for (const auto &[palette, suffix] : palettes) {
        QApplication::setPalette(palette);
        AppComposition services(context);
        services.preferences().setHasCompletedOnboarding(true);
        KestroveApp shell(services.screenServices(), services.startupHooks());
        shell.openMainWindow();
        ok = QTest::qWaitForWindowExposed(shell.mainWindow()) && ok;
        Q_EMIT services.requests().trackingNumberDetected(u"1Z 999 AA1 0123 4567 84"_s);
        QTest::qWait(600); // the banner slides in
        const QString path = folder + u"/main-window-screen"_s + suffix;
        const bool saved = QGuiApplication::primaryScreen()->grabWindow(0).save(path);
        qInfo("%s %s", saved ? "wrote" : "could not write", qPrintable(path));
        ok = saved && ok;
    }
    return ok ? 0 : 1;
}
