// The main window's package list with many packages, and a large CSV import.
//
//   bench_mainui [PACKAGES] [IMPORT_ROWS]      defaults 10000 and 100000
//
// Run it in a private home on the offscreen platform (scripts/run-benchmarks.sh does both):
//   HOME=$(mktemp -d) XDG_CONFIG_HOME=... QT_QPA_PLATFORM=offscreen build/bin/bench_mainui
//
// Prints:
//   search  - from a key press in the search field to the re-evaluated, laid out and painted list,
//             for each key of typing a word and erasing it again (median and worst);
//   paint   - painting one screen of rows (the list's viewport), cold and warm;
//   import  - a CSV import of IMPORT_ROWS rows through the main window: total time and the longest
//             time the event loop did not run (what the user feels as a frozen window).

#include "benchstore.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/trackingevent.h"
#include "screenfixture.h"
#include "ui/mainwindowview.h"
#include "ui/packagelistmodel.h"
#include "ui/packagelistview.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace
{
const char *const words[] = {"Shoes",      "Lamp",       "Book",          "Camera lens", "Phone case",   "Coffee beans",
                             "Headphones", "Desk chair", "Gift for Anna", "Spare parts", "Vinyl record", "Winter coat"};
const char *const carriers[] = {"ups", "usps", "fedex", "dhl", "amazon", "royal-mail", "china-post", "someco"};

std::unique_ptr<ModelContext> openStore(const QString &path)
{
    auto opened = ModelContext::open(path);
    if (!opened) {
        std::fprintf(stderr, "cannot open the store: %s\n", qPrintable(opened.error().description));
        std::exit(1);
    }
    return std::move(opened).value();
}

void fill(ModelContext &context, int count)
{
    const QList<PackageGroup *> groups = BenchStore::addGroups(context);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (int i = 0; i < count; ++i) {
        const TrackingStatus status = TrackingStatuses::allCases()[i % 8];
        auto *p = new Package(
            BenchStore::trackingNumber(i), QString::fromLatin1(carriers[i % 8]),
            i % 5 == 0 ? QString() : QStringLiteral("%1 %2").arg(QString::fromLatin1(words[i % 12])).arg(i), status);
        p->setLastUpdated(now.addSecs(-i * 37));
        p->setArchived(i % 11 == 0);
        p->setPinned(i % 97 == 0);
        if (i % 3 == 0)
            p->setEstimatedDelivery(now.addDays(i % 9 - 3));
        if (i % 7 == 0)
            p->setColorTag(PackageGroup::colorPalette().at(i % 10).hex);
        p->setNotes(i % 4 == 0 ? QStringLiteral("Leave at the door") : QString());
        context.insert(p);
        if (i % 4 == 1)
            p->addToGroup(groups.at(i % 6));
        p->appendEvent(std::make_unique<TrackingEvent>(now.addSecs(-i * 37), status, QStringLiteral("Scanned"),
                                                       QStringLiteral("Memphis, TN")));
    }
    if (!context.save()) {
        std::fprintf(stderr, "cannot save the store\n");
        std::exit(1);
    }
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

void benchSearch(MainWindowView &view)
{
    auto *search = view.findChild<QLineEdit *>(QStringLiteral("searchField"));
    PackageListView *list = view.packageList();
    QList<double> times;
    QElapsedTimer timer;
    for (int round = 0; round < 5; ++round) {
        for (const QChar c : QStringLiteral("lamp 1")) {
            timer.start();
            QTest::keyClick(search, c.toLatin1());
            QCoreApplication::processEvents();
            list->viewport()->repaint();
            times.append(timer.nsecsElapsed() / 1e6);
        }
        for (int i = 0; i < 6; ++i) {
            timer.start();
            QTest::keyClick(search, Qt::Key_Backspace);
            QCoreApplication::processEvents();
            list->viewport()->repaint();
            times.append(timer.nsecsElapsed() / 1e6);
        }
    }
    std::printf("search: %lld key presses over %d packages: median %.2f ms, worst %.2f ms\n", qint64(times.size()),
                int(list->listModel()->allPackages().size()), median(times),
                *std::max_element(times.begin(), times.end()));

    // The same texts set on the model alone: the share of the list rule and the row signals.
    QList<double> modelTimes;
    PackageListModel *model = list->listModel();
    const QStringList texts = {QStringLiteral("l"),    QStringLiteral("la"),    QStringLiteral("lam"),
                               QStringLiteral("lamp"), QStringLiteral("lamp "), QStringLiteral("lamp 1")};
    for (int round = 0; round < 5; ++round) {
        for (qsizetype i = 0; i <= texts.size() * 2; ++i) {
            const qsizetype n = i <= texts.size() ? i : texts.size() * 2 - i;
            timer.start();
            model->setSearchText(n == 0 ? QString() : texts.at(n - 1));
            modelTimes.append(timer.nsecsElapsed() / 1e6);
        }
    }
    std::printf("search (model only): median %.2f ms, worst %.2f ms\n", median(modelTimes),
                *std::max_element(modelTimes.begin(), modelTimes.end()));
}

void benchPaint(MainWindowView &view)
{
    PackageListView *list = view.packageList();
    QWidget *viewport = list->viewport();
    const int rows = viewport->height() / qMax(1, list->sizeHintForRow(0)) + 1;
    QPixmap target(viewport->size());
    QElapsedTimer timer;
    timer.start();
    viewport->render(&target);
    const double cold = timer.nsecsElapsed() / 1e6;
    const int passes = 200;
    QList<double> times;
    for (int i = 0; i < passes; ++i) {
        // Scroll a little each time, so that different packages are painted.
        list->scrollTo(list->model()->index((i * 7) % list->model()->rowCount(), 0));
        timer.start();
        viewport->render(&target);
        times.append(timer.nsecsElapsed() / 1e6);
    }
    std::printf("paint: one screen of about %d rows (%dx%d): first %.2f ms, then median %.2f ms, worst %.2f ms\n", rows,
                viewport->width(), viewport->height(), cold, median(times),
                *std::max_element(times.begin(), times.end()));
}

void benchImport(const QString &directory, int rows, ScreenFixture &screen)
{
    const QString path = directory + QStringLiteral("/import.csv");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        std::exit(1);
    file.write("trackingNumber,carrier,label,status,dateAdded,estimatedDelivery,notes,groups,colorTag\n");
    for (int i = 0; i < rows; ++i) {
        file.write(
            QStringLiteral("IMP%1,ups,\"Item, %1\",inTransit,2026-03-01T10:00:00Z,2026-03-05T14:07:00Z,note,,#FF9500\n")
                .arg(i, 9, 10, QLatin1Char('0'))
                .toUtf8());
    }
    file.close();

    auto context = openStore(directory + QStringLiteral("/import.sqlite"));
    MainWindowView view(screen.services(context.get()), nullptr);
    view.resize(1000, 700);
    view.show();
    QCoreApplication::processEvents();

    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, &view, [&] {
        longest = qMax(longest, clock.elapsed() - last);
        last = clock.elapsed();
    });
    bool done = false;
    qsizetype imported = 0;
    QObject::connect(&view, &MainWindowView::csvImportFinished, &view, [&](qsizetype count, qsizetype) {
        imported = count;
        done = true;
    });
    clock.start();
    ticker.start();
    view.importCSVFile(path);
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const qint64 total = clock.elapsed();
    // The list catches up on the next turn of the event loop.
    QCoreApplication::processEvents();
    longest = qMax(longest, clock.elapsed() - last);
    std::printf("import: %lld of %d rows in %lld ms; longest event-loop stall %lld ms\n", qint64(imported), rows, total,
                longest);
}
}

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int packages = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int importRows = argc > 2 ? std::atoi(argv[2]) : 100000;

    QTemporaryDir directory;
    auto context = openStore(directory.filePath(QStringLiteral("bench.sqlite")));
    fill(*context, packages);
    ScreenFixture screen(directory.filePath(QStringLiteral("preferences.conf")));
    {
        MainWindowView view(screen.services(context.get()), nullptr);
        view.resize(1000, 700);
        view.show();
        QCoreApplication::processEvents();
        benchSearch(view);
        benchPaint(view);
    }
    if (importRows > 0)
        benchImport(directory.path(), importRows, screen);
    return 0;
}
