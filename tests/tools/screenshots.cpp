// Saves pictures of the main screens on a varied store, in a light and a dark palette, for people
// to look at (not a test). Usage: screenshots [OUTPUT_FOLDER]; run it under xvfb-run or offscreen.
#include "model/modelcontainer.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/trackingevent.h"
#include "screenfixture.h"
#include "services/carrierlogoservice.h"
#include "showcase.h"
#include "temporaryhome.h"
#include "testmain.h"
#include "ui/addpackagedialog.h"
#include "ui/groupmanagementview.h"
#include "ui/mainwindowview.h"
#include "ui/menubarpopoverview.h"
#include "ui/packagedetailview.h"
#include "ui/packagelistmodel.h"
#include "ui/packagelistview.h"
#include "ui/packagesettingspopover.h"
#include "ui/shellactions.h"

#include <QApplication>
#include <QDir>
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

/** A package with a long history, so that the timeline shows many rows. */
Package *addTraveller(ModelContext &context)
{
    const QDateTime now = QDateTime::currentDateTime();
    auto *p = new Package(u"LB987654321SG"_s, u"4px"_s, u"Keyboard from Shenzhen"_s, TrackingStatus::inTransit,
                          now.addDays(6), u"Gift for Sam: keep the box."_s);
    p->setColorTag(u"#AF52DE"_s);
    p->setLastErrorMessage(u"Network error: The request timed out."_s);
    const QStringList places = {u"Shenzhen, CN"_s,      u"Hong Kong, HK"_s,   u""_s,
                                u"Anchorage, AK, US"_s, u"Chicago, IL, US"_s, u"Columbus, OH, US"_s};
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
    TestSupport::setApplicationIdentity();
    TestSupport::setUpIconTheme();
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(folder);
    auto opened = ModelContainer::open(home.path() + u"/showcase.sqlite"_s);
    if (!opened || !TestSupport::fillShowcase(*opened.value()))
        return 1;
    ModelContext *context = opened.value().get();
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
    bool ok = true;
    for (const bool dark : {false, true}) {
        QApplication::setPalette(dark ? darkPalette() : QPalette());
        const QString suffix = dark ? u"-dark.png"_s : u"-light.png"_s;
        ScreenServices services = screen.services(context);
        services.logos = &logos;
        MainWindowView view(services, &shell);
        view.resize(1000, 680);
        view.show();
        ok = QTest::qWaitForWindowExposed(&view) && ok;
        view.setSelectedPackage(view.packageList()->listModel()->packageAt(1));
        ok = save(&view, folder + u"/main-list"_s + suffix) && ok;
        view.setSelectedPackage(traveller);
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
        popover.resize(340, 420);
        popover.show();
        ok = QTest::qWaitForWindowExposed(&popover) && save(&popover, folder + u"/popover"_s + suffix) && ok;
    }
    return ok ? 0 : 1;
}
