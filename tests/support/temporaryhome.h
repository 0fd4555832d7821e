#pragma once

#include <QString>
#include <QTemporaryDir>

/**
 * A private home for one test process: HOME and the XDG_* folders point into a
 * temporary directory, so nothing touches the real home. Create it before the
 * QCoreApplication (KESTROVE_TEST_MAIN does).
 */
class TemporaryHome
{
public:
    TemporaryHome();
    ~TemporaryHome();
    TemporaryHome(const TemporaryHome &) = delete;
    TemporaryHome &operator=(const TemporaryHome &) = delete;

    [[nodiscard]] QString path() const { return m_dir.path(); }
    /** ~/.local/share/com.kestrove.app */
    [[nodiscard]] QString applicationSupportPath() const;
    /** Removes everything below the home and recreates the empty XDG folders. */
    void reset();

private:
    QTemporaryDir m_dir;
};
