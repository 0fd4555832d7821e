// The yardstick of bench_startup: a bare Qt Widgets window of the main window's size that writes
// "first-frame NS" (CLOCK_MONOTONIC nanoseconds) once it has painted its first frame, as
// Kestrove does with KESTROVE_REPORT_FIRST_FRAME set. Not a benchmark of its own.
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <ctime>

namespace
{
class BareWindow : public QWidget
{
protected:
    void paintEvent(QPaintEvent *event) override
    {
        QWidget::paintEvent(event);
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
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    BareWindow window;
    window.resize(800, 600);
    window.show();
    return app.exec();
}
