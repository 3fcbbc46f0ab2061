#pragma once

#include <QPlainTextEdit>
#include <QPointer>

#include "sharing/RTDirectInputLineViewController.h"
class RTAutocompletePopup;

// The text box of a compose line: shows its controller's text, asks the controller before
// each typed or pasted edit, and handles the line's keys. Pictures dropped or pasted on it
// are handed out through picturesOffered().
class TADirectInputLineTextView : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit TADirectInputLineTextView(QWidget *parent = nullptr);

    void setController(RTDirectInputLineViewController *controller);
    [[nodiscard]] RTDirectInputLineViewController *controller() const { return m_controller; }
    // Multi-line boxes (the compose window) send with Ctrl+Return; Return breaks the line.
    void setMultiLine(bool multiLine);
    [[nodiscard]] RTAutocompletePopup *completionPopup() const { return m_popup; }

signals:
    // Picture files or an image from a drop or a paste.
    void picturesOffered(const QStringList &files, const QImage &image);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    [[nodiscard]] bool canInsertFromMimeData(const QMimeData *source) const override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    void showControllerText(const QString &text);
    void showControllerSelection(qsizetype location, qsizetype length);
    void userEdited();
    void updateCompletion(bool show);
    bool handleCompletionKey(QKeyEvent *event);
    [[nodiscard]] static QStringList pictureFiles(const QMimeData *source);

    QPointer<RTDirectInputLineViewController> m_controller;
    RTAutocompletePopup *m_popup = nullptr;
    bool m_updating = false;
    bool m_multiLine = false;
};
