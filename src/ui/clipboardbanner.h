#pragma once

#include <QWidget>

class QLabel;

/**
 * The offer to add a tracking number found on the clipboard: an icon, the caption
 * "Tracking number detected" over the number, and the buttons "Add" and "Dismiss".
 */
class ClipboardBanner : public QWidget
{
    Q_OBJECT
public:
    explicit ClipboardBanner(QWidget *parent = nullptr);

    /** The number the banner offers. */
    void setTrackingNumber(const QString &number);
    [[nodiscard]] QString trackingNumber() const { return m_number; }

Q_SIGNALS:
    /** "Add" was clicked for the shown number. */
    void addClicked(const QString &number);
    /** "Dismiss" was clicked. */
    void dismissClicked();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_number;
    QLabel *m_numberLabel;
};
