// The yardsticks of bench_startup: a bare Qt Widgets window of the main window's size that writes
// "first-frame NS" (CLOCK_MONOTONIC nanoseconds) once it has painted its first frame, as
// Kestrove does with KESTROVE_REPORT_FIRST_FRAME set. With --text it shows what any window of text
// needs and the bare one does not: a tool bar of four actions, a heading and a list of sixty rows,
// so fonts, text layout and glyphs. Not a benchmark of its own.
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>
#include <ctime>
#include <memory>

namespace
{
template<typename Base> class ReportingWindow : public Base
{
protected:
    void paintEvent(QPaintEvent *event) override
    {
        Base::paintEvent(event);
        if (m_painted)
            return;
        m_painted = true;
        QTimer::singleShot(0, this, [] {
            timespec now {};
            clock_gettime(CLOCK_MONOTONIC, &now);
            std::printf("first-frame %lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
            std::fflush(stdout);
        });
    }

private:
    bool m_painted = false;
};

void fillWithText(QMainWindow &window)
{
    QToolBar *toolBar = window.addToolBar(QStringLiteral("Actions"));
    for (const char *action : {"Add", "Refresh", "Sort", "Select"})
        toolBar->addAction(QString::fromLatin1(action));
    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);
    layout->addWidget(new QLabel(QStringLiteral("Packages")));
    auto *list = new QListWidget;
    for (int row = 1; row <= 60; ++row)
        list->addItem(QStringLiteral("Package %1 \u00b7 In Transit \u00b7 arriving in %1 days").arg(row));
    layout->addWidget(list);
    window.setCentralWidget(content);
}
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    std::unique_ptr<QWidget> window;
    if (app.arguments().contains(QStringLiteral("--text"))) {
        auto textWindow = std::make_unique<ReportingWindow<QMainWindow>>();
        fillWithText(*textWindow);
        window = std::move(textWindow);
    } else {
        window = std::make_unique<ReportingWindow<QWidget>>();
    }
    window->resize(800, 600);
    window->show();
    return app.exec();
}
