#pragma once

#include <QString>

namespace TestSupport
{
/**
 * Compares text with the expected-output file at KESTROVE_TEST_DATA_DIR/relativePath. On a mismatch
 * the actual text goes to "<file>.fail" beside it and a unified diff is printed. With
 * KESTROVE_UPDATE_GOLDEN=1 the expected file is (re)written instead; review it before committing.
 */
[[nodiscard]] bool matchesGoldenFile(const QString &actual, const QString &relativePath);
}

#define KESTROVE_COMPARE_GOLDEN(actual, relativePath)                                                                  \
    QVERIFY2(TestSupport::matchesGoldenFile(actual, QStringLiteral(relativePath)), "differs from " relativePath)
