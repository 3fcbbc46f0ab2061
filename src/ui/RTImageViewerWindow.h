#pragma once

#include <QVariantMap>
#include <QWidget>

class QLabel;
class QPushButton;
class RTInlineImageObject;

// Shows one inline picture at full size (within 800 x 600), found through its host's
// page when the link is a page. Deletes itself when closed.
class RTImageViewerWindow : public QWidget
{
    Q_OBJECT
public:
    // record: as RTInlineImageObject takes it.
    explicit RTImageViewerWindow(const QVariantMap &record, QWidget *parent = nullptr);
    ~RTImageViewerWindow() override;

    // "loading", "shown" or "failed": for tests and the screenshot tour.
    [[nodiscard]] QString state() const { return m_state; }
    [[nodiscard]] QSize shownPictureSize() const;

signals:
    // The user asked for the picture's page in the browser.
    void openLinkRequested(const QString &link);
    void stateChanged(const QString &state);

private:
    void showPicture();
    void showFailure();
    void setState(const QString &state);

    RTInlineImageObject *m_object;
    QLabel *m_picture;
    QLabel *m_status;
    QPushButton *m_openButton;
    QString m_state = QStringLiteral("loading");
};
