// Carrier detection throughput over a realistic mix of tracking numbers.
//
//   bench_detection [ITERATIONS]     passes over the mix (default 20000)
//
// Instructions per number, with start-up and pattern compilation excluded:
//   valgrind --tool=callgrind --toggle-collect='*runDetections*' bench_detection 20
// then divide the reported "Collected" Ir by the numbers detected (printed below).
// For the 10000-character numbers: --toggle-collect='*runLongDetections*' bench_detection 100

#include "carriers/carrierdetector.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>

#include <cstdio>
#include <cstdlib>

// Out of line and never folded together, so that callgrind can count each loop on its own.
#if defined(__GNUC__) && !defined(__clang__)
#define BENCH_MEASURED [[gnu::noipa]]
#else
#define BENCH_MEASURED [[gnu::noinline]]
#endif

namespace
{
QList<QString> mix()
{
    QList<QString> numbers;
    for (const char *number : {
             "1Z999AA10123456784",
             "1z999aa10123456784",
             "9400111899223197428490",
             "9205590164917312751089",
             "420902109400111899223197428490",
             "EE123456789CN",
             "LX123456789CN",
             "RR123456789US",
             "AB123456789GB",
             "CP123456789DE",
             "UA123456789FR",
             "TBA304019893000",
             "123456789012",
             "123456789012345",
             "1234567890",
             "5123456789",
             "JD014600006281234567",
             "JVGL0123456789",
             "YT2212345678901234",
             "YE123ABC456",
             "12345678",
             "12345678901",
             "7012345678901234",
             "M012345678",
             "3ABCDEFGHI",
             "  1Z999AA10123456784\n",
             "hello world",
             "order #4711",
             "https://example.com/x",
             "",
             "   ",
             "1Z999-AA1-0123456784",
         })
        numbers.append(QString::fromLatin1(number));
    numbers.append(QStringLiteral("\u0661\u0662\u0663\u0664\u0665\u0666\u0667\u0668\u0669\u0660\u0661\u0662"));
    return numbers;
}

BENCH_MEASURED qsizetype runDetections(const QList<QString> &numbers, int iterations)
{
    qsizetype results = 0;
    for (int i = 0; i < iterations; ++i) {
        for (const QString &number : numbers)
            results += CarrierDetector::detect(number).size();
    }
    return results;
}

BENCH_MEASURED qsizetype runLongDetections(const QList<QString> &numbers, int iterations)
{
    qsizetype results = 0;
    for (int i = 0; i < iterations; ++i) {
        for (const QString &number : numbers)
            results += CarrierDetector::detect(number).size();
    }
    return results;
}
}

int main(int argc, char *argv[])
{
    const int iterations = argc > 1 ? std::atoi(argv[1]) : 20000;
    if (iterations <= 0) {
        std::fprintf(stderr, "usage: %s [ITERATIONS]\n", argv[0]);
        return 2;
    }
    const QList<QString> numbers = mix();
    for (const QString &number : numbers) // compiles the patterns outside the measurement
        (void)CarrierDetector::detect(number);

    QElapsedTimer timer;
    timer.start();
    const qsizetype results = runDetections(numbers, iterations);
    const qint64 nanoseconds = timer.nsecsElapsed();
    const double count = double(numbers.size()) * iterations;
    std::printf("mix: %lld numbers x %d passes = %.0f detections, %lld guesses\n", qlonglong(numbers.size()),
                iterations, count, qlonglong(results));
    std::printf("throughput: %.0f numbers/s, %.0f ns per number\n", count * 1e9 / double(nanoseconds),
                double(nanoseconds) / count);

    // Long input: no rule caps the length, so detection must stay linear.
    const QList<QString> longNumbers {QString(10000, u'A'), QStringLiteral("JVGL") + QString(9996, u'7'),
                                      QString(10000, u'7')};
    const int longIterations = std::max(1, iterations / 100);
    timer.restart();
    const qsizetype longResults = runLongDetections(longNumbers, longIterations);
    std::printf("10000-character numbers: %.1f us per number (%lld guesses)\n",
                double(timer.nsecsElapsed()) / 1000.0 / (double(longNumbers.size()) * longIterations),
                qlonglong(longResults));
    return 0;
}
