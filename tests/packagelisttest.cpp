// The visible-list rule shared by the main window and `kestrove-cli list`.
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/packagelistrule.h"
#include "testmain.h"

#include <QLocale>
#include <QTest>

#include <functional>
#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace
{
/** One package of a fixture: a name (its label) and the fields the rule reads. */
struct Fix {
    QString name;
    TrackingStatus status = TrackingStatus::inTransit;
    bool isArchived = false;
    bool isPinned = false;
    int updatedMinutesAgo = 0;
    int addedMinutesAgo = 0;
    QString carrierCode;
    std::optional<int> deliveryInDays;
    QString notesText;

    Fix with(const std::function<void(Fix &)> &change) const
    {
        Fix f = *this;
        change(f);
        return f;
    }
    Fix archived() const
    {
        return with([](Fix &f) { f.isArchived = true; });
    }
    Fix pinned() const
    {
        return with([](Fix &f) { f.isPinned = true; });
    }
    Fix updated(int minutesAgo) const
    {
        return with([=](Fix &f) { f.updatedMinutesAgo = minutesAgo; });
    }
    Fix added(int minutesAgo) const
    {
        return with([=](Fix &f) { f.addedMinutesAgo = minutesAgo; });
    }
    Fix carrier(const QString &code) const
    {
        return with([=](Fix &f) { f.carrierCode = code; });
    }
    Fix delivery(int inDays) const
    {
        return with([=](Fix &f) { f.deliveryInDays = inDays; });
    }
    Fix notes(const QString &text) const
    {
        return with([=](Fix &f) { f.notesText = text; });
    }
};

Fix fix(const char *name, TrackingStatus status = TrackingStatus::inTransit)
{
    Fix f;
    f.name = QString::fromUtf8(name);
    f.status = status;
    return f;
}

const QDateTime base(QDate(2026, 5, 4), QTime(10, 0));

/** Owns the packages of a fixture, in fixture order. */
struct Fixture {
    std::vector<std::unique_ptr<Package>> owned;
    QList<Package *> packages;

    explicit Fixture(const QList<Fix> &fixes)
    {
        for (const Fix &fix : fixes) {
            auto package
                = std::make_unique<Package>(QStringLiteral("NUM-") + fix.name, fix.carrierCode, fix.name, fix.status);
            package->setArchived(fix.isArchived);
            package->setPinned(fix.isPinned);
            package->setLastUpdated(base.addSecs(-60 * fix.updatedMinutesAgo));
            package->setDateAdded(base.addSecs(-60 * fix.addedMinutesAgo));
            if (fix.deliveryInDays)
                package->setEstimatedDelivery(base.addDays(*fix.deliveryInDays));
            package->setNotes(fix.notesText);
            packages.append(package.get());
            owned.push_back(std::move(package));
        }
    }

    Package *named(const QString &name) const
    {
        for (Package *package : packages) {
            if (package->label() == name)
                return package;
        }
        return nullptr;
    }
};

QStringList sl(std::initializer_list<const char *> texts)
{
    QStringList list;
    for (const char *text : texts)
        list.append(QString::fromUtf8(text));
    return list;
}

QStringList labels(const QList<Package *> &packages)
{
    QStringList names;
    for (const Package *package : packages)
        names.append(package->label());
    return names;
}

/** Every status once, plus two archived packages; all tie under estimatedDelivery (no dates). */
QList<Fix> everyStatus()
{
    using S = TrackingStatus;
    return {
        fix("P", S::pending),
        fix("T", S::inTransit),
        fix("O", S::outForDelivery),
        fix("D", S::delivered),
        fix("F", S::failedAttempt),
        fix("X", S::exception),
        fix("E", S::expired),
        fix("U", S::unknown),
        fix("A", S::delivered).archived(),
        fix("AT", S::inTransit).archived(),
    };
}
}

Q_DECLARE_METATYPE(QList<Fix>)
Q_DECLARE_METATYPE(PackageFilter)
Q_DECLARE_METATYPE(PackageSortMode)

class PackageListTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void filters_data()
    {
        QTest::addColumn<PackageFilter>("filter");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("all lists every unarchived package, expired and unknown included")
            << PackageFilter::all << sl({"P", "T", "O", "D", "F", "X", "E", "U"});
        QTest::newRow("transit lists pending, in transit and out for delivery")
            << PackageFilter::inTransit << sl({"P", "T", "O"});
        QTest::newRow("delivered lists only unarchived delivered packages") << PackageFilter::delivered << sl({"D"});
        QTest::newRow("issues lists exceptions and failed attempts") << PackageFilter::exceptions << sl({"F", "X"});
        QTest::newRow("archived lists archived packages of any status") << PackageFilter::archived << sl({"A", "AT"});
    }

    void filters()
    {
        QFETCH(PackageFilter, filter);
        QFETCH(QStringList, expected);
        const Fixture fixture(everyStatus());
        PackageListRule::Criteria criteria;
        criteria.filter = filter;
        criteria.sortMode = PackageSortMode::estimatedDelivery; // every package ties: source order
        QCOMPARE(labels(PackageListRule::visiblePackages(fixture.packages, criteria)), expected);
    }

    void groupReplacesTheFilter_data()
    {
        QTest::addColumn<PackageFilter>("filter");
        QTest::newRow("under the all filter") << PackageFilter::all;
        QTest::newRow("under the delivered filter") << PackageFilter::delivered;
    }

    void groupReplacesTheFilter()
    {
        QFETCH(PackageFilter, filter);
        const Fixture fixture(everyStatus());
        PackageGroup group(QStringLiteral("Gifts"), QStringLiteral("#FF0000"), 0);
        // Stored order of the members, not fixture order; an archived member stays.
        group.addPackage(fixture.named(QStringLiteral("AT")));
        group.addPackage(fixture.named(QStringLiteral("E")));
        group.addPackage(fixture.named(QStringLiteral("P")));
        PackageListRule::Criteria criteria;
        criteria.filter = filter;
        criteria.group = &group;
        criteria.sortMode = PackageSortMode::estimatedDelivery;
        QCOMPARE(labels(PackageListRule::visiblePackages(fixture.packages, criteria)), (sl({"AT", "E", "P"})));

        // The search still applies inside a group.
        criteria.searchText = QStringLiteral("num-");
        QCOMPARE(labels(PackageListRule::visiblePackages(fixture.packages, criteria)), (sl({"AT", "E", "P"})));
        criteria.searchText = QStringLiteral("num-at");
        QCOMPARE(labels(PackageListRule::visiblePackages(fixture.packages, criteria)), (sl({"AT"})));
    }

    void search_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty text keeps everything") << QString() << sl({"Red shoes", "Books", "Lamp", "Tea"});
        QTest::newRow("label, ignoring case") << QStringLiteral("SHOES") << sl({"Red shoes"});
        QTest::newRow("tracking number, ignoring case") << QStringLiteral("num-bo") << sl({"Books"});
        QTest::newRow("carrier display name, not only the code") << QStringLiteral("express") << sl({"Lamp"});
        QTest::newRow("notes") << QStringLiteral("neighbour") << sl({"Books"});
        QTest::newRow("inner spaces match") << QStringLiteral("d sh") << sl({"Red shoes"});
        QTest::newRow("case folding of non-ASCII letters") << QStringLiteral("ÉPICERIE") << sl({"Tea"});
    }

    void search()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        using S = TrackingStatus;
        const Fixture fixture({
            fix("Red shoes", S::inTransit).carrier(QStringLiteral("ups")),
            fix("Books", S::pending).carrier(QStringLiteral("usps")).notes(QStringLiteral("Leave with the neighbour")),
            fix("Lamp", S::delivered).carrier(QStringLiteral("dhl")),
            fix("Tea", S::exception).carrier(QStringLiteral("fedex")).notes(QStringLiteral("from the épicerie")),
        });
        PackageListRule::Criteria criteria;
        criteria.searchText = text;
        criteria.sortMode = PackageSortMode::estimatedDelivery;
        QCOMPARE(labels(PackageListRule::visiblePackages(fixture.packages, criteria)), expected);
        for (Package *package : fixture.packages)
            QCOMPARE(PackageListRule::matchesSearch(*package, text), expected.contains(package->label()));
    }

    void searchFoldsCaseAsTheLocaleDoes_data()
    {
        // One package per row: which field holds the text, the text, the search and the locale.
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("field"); // label, number, carrier, notes
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("search");
        QTest::addColumn<bool>("found");
        const auto row = [](const char *name, const char *locale, const char *field, const QString &value,
                            const QString &search, bool found) {
            QTest::newRow(name) << QString::fromLatin1(locale) << QString::fromLatin1(field) << value << search
                                << found;
        };
        row("English: an upper-case label is found in lower case", "en_US", "label", u"INK CARTRIDGE"_s, u"ink"_s,
            true);
        row("Turkish: I lower-cases to a dotless i, so \"ink\" is not in \"INK\"", "tr_TR", "label", u"INK CARTRIDGE"_s,
            u"ink"_s, false);
        row("an accented search does not find the plain letter", "en_US", "label", u"cafe"_s, u"caf\u00E9"_s, false);
        row("a sign that lower-cases to k finds k", "en_US", "label", u"kilo"_s, u"\u212A"_s, true);
        row("a search longer than the field", "en_US", "notes", u"door"_s, u"doors"_s, false);
        row("a partial match then the real one", "en_US", "label", u"aab"_s, u"ab"_s, true);
    }

    void searchFoldsCaseAsTheLocaleDoes()
    {
        QFETCH(QString, locale);
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, search);
        QFETCH(bool, found);
        const QLocale previous;
        QLocale::setDefault(QLocale(locale));
        Package package(field == QLatin1String("number") ? value : QStringLiteral("PLAIN1"),
                        field == QLatin1String("carrier") ? value : QString(),
                        field == QLatin1String("label") ? value : QString());
        if (field == QLatin1String("notes"))
            package.setNotes(value);
        PackageListRule::Criteria criteria;
        criteria.searchText = search;
        const bool matched = PackageListRule::matchesSearch(package, search);
        const qsizetype listed = PackageListRule::visiblePackages({&package}, criteria).size();
        QLocale::setDefault(previous);
        QCOMPARE(matched, found);
        QCOMPARE(listed, found ? 1 : 0);
    }

    void carrierSearchLooksAtEveryCodesName()
    {
        // Codes that normalise to one carrier share its name; each package is judged by its own code.
        Package lower(QStringLiteral("N1"), QStringLiteral("dhl"), QStringLiteral("a"));
        Package upper(QStringLiteral("N2"), QStringLiteral(" DHL"), QStringLiteral("b"));
        Package other(QStringLiteral("N3"), QStringLiteral("ups"), QStringLiteral("c"));
        Package again(QStringLiteral("N4"), QStringLiteral("dhl"), QStringLiteral("d"));
        PackageListRule::Criteria criteria;
        criteria.searchText = QStringLiteral("express");
        criteria.sortMode = PackageSortMode::estimatedDelivery;
        QCOMPARE(labels(PackageListRule::visiblePackages({&lower, &upper, &other, &again}, criteria)),
                 (sl({"a", "b", "d"})));
        criteria.searchText = QStringLiteral("UPS");
        QCOMPARE(labels(PackageListRule::visiblePackages({&lower, &upper, &other, &again}, criteria)), (sl({"c"})));
    }

    void carrierOrderFollowsTheLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("English collates \u00C4 with A") << "en_US" << sl({"latin", "umlaut", "zebra"});
        QTest::newRow("Swedish collates \u00C4 after Z") << "sv_SE" << sl({"latin", "zebra", "umlaut"});
    }

    void carrierOrderFollowsTheLocale()
    {
        QFETCH(QString, locale);
        const QLocale previous;
        QLocale::setDefault(QLocale(locale));
        // Unknown codes are shown upper-cased: "ZEBRA", "\u00C4RZTE", "APFEL".
        const Fixture fixture({fix("zebra").carrier(QStringLiteral("zebra")),
                               fix("umlaut").carrier(QStringLiteral("\u00E4rzte")),
                               fix("latin").carrier(QStringLiteral("apfel"))});
        PackageListRule::Criteria criteria;
        criteria.sortMode = PackageSortMode::carrier;
        const QStringList sorted = labels(PackageListRule::visiblePackages(fixture.packages, criteria));
        QLocale::setDefault(previous);
        QTEST(sorted, "expected");
    }

    void sortModes_data()
    {
        QTest::addColumn<QList<Fix>>("fixes");
        QTest::addColumn<PackageSortMode>("mode");
        QTest::addColumn<QStringList>("expected");
        using S = TrackingStatus;

        const QList<Fix> times {fix("old").updated(300).added(10), fix("new").updated(5).added(500),
                                fix("mid").updated(60).added(100)};
        QTest::newRow("last updated: latest first")
            << times << PackageSortMode::lastUpdated << sl({"new", "mid", "old"});
        QTest::newRow("date added: latest first") << times << PackageSortMode::dateAdded << sl({"old", "mid", "new"});

        QTest::newRow("status: the four steps in order, the others after them in their previous order")
            << QList<Fix> {fix("x", S::exception),      fix("d", S::delivered), fix("u", S::unknown),
                           fix("o", S::outForDelivery), fix("e", S::expired),   fix("t", S::inTransit),
                           fix("f", S::failedAttempt),  fix("p", S::pending)}
            << PackageSortMode::status << sl({"p", "t", "o", "d", "x", "u", "e", "f"});

        QTest::newRow("carrier: display names in ascending order")
            << QList<Fix> {fix("z").carrier(QStringLiteral("zz")),
                           fix("usps").carrier(QStringLiteral("usps")),
                           fix("fedex").carrier(QStringLiteral("fedex")),
                           fix("amazon").carrier(QStringLiteral("amazon")),
                           fix("ups").carrier(QStringLiteral("ups")),
                           fix("dhl").carrier(QStringLiteral("dhl"))}
            << PackageSortMode::carrier << sl({"amazon", "dhl", "fedex", "ups", "usps", "z"});

        QTest::newRow("carrier: codes with one display name tie and keep their order")
            << QList<Fix> {fix("ups").carrier(QStringLiteral("ups")), fix("dhl").carrier(QStringLiteral("dhl")),
                           fix("DHL").carrier(QStringLiteral(" DHL")), fix("amazon").carrier(QStringLiteral("amazon")),
                           fix("dhl2").carrier(QStringLiteral("dhl"))}
            << PackageSortMode::carrier << sl({"amazon", "dhl", "DHL", "dhl2", "ups"});

        QTest::newRow("estimated delivery: earliest first, packages without a date last in their order")
            << QList<Fix> {fix("none1"), fix("in5").delivery(5), fix("none2"), fix("past").delivery(-2),
                           fix("in1").delivery(1)}
            << PackageSortMode::estimatedDelivery << sl({"past", "in1", "in5", "none1", "none2"});

        QTest::newRow("equal keys keep the source order")
            << QList<Fix> {fix("a").updated(10), fix("b").updated(10), fix("c").updated(5), fix("d").updated(10)}
            << PackageSortMode::lastUpdated << sl({"c", "a", "b", "d"});

        // Pinned packages come first in every mode, even where their own key would put them last.
        const QList<Fix> pinnedLast {
            fix("pinned", S::exception).pinned().updated(900).added(900).carrier(QStringLiteral("zz")),
            fix("one", S::pending).updated(1).added(1).carrier(QStringLiteral("dhl")).delivery(1),
            fix("two", S::inTransit).updated(2).added(2).carrier(QStringLiteral("ups")).delivery(2),
            fix("pinned2", S::unknown).pinned().updated(950).added(950).carrier(QStringLiteral("zzz")),
        };
        for (PackageSortMode mode : PackageSortModes::allCases()) {
            QTest::newRow(
                qPrintable(QStringLiteral("pinned first when sorting by ") + PackageSortModes::rawValue(mode)))
                << pinnedLast << mode << sl({"pinned", "pinned2", "one", "two"});
        }
    }

    void sortModes()
    {
        QFETCH(QList<Fix>, fixes);
        QFETCH(PackageSortMode, mode);
        QFETCH(QStringList, expected);
        const Fixture fixture(fixes);
        PackageListRule::Criteria criteria;
        criteria.sortMode = mode;
        QCOMPARE(labels(PackageListRule::visiblePackages(fixture.packages, criteria)), expected);
    }
};

KESTROVE_TEST_MAIN(PackageListTest)
#include "packagelisttest.moc"
