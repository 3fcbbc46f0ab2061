#pragma once

#include "accounts/RTService.h"

#include <QPointer>
#include <QWidget>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QToolButton;
#include "sharing/RTDirectInputLineViewController.h"
class TADirectInputLineTextView;

// A compose box: the account chooser, the recipient, the text, the character counter,
// picture upload with progress and cancel, and the post button. The one-line form sits
// under the message list and shows each account's own compose line; the compose window
// uses the multi-line form with lines of its own.
//
// Failed posts come back into the box with a message and, when the user wrote something
// new meanwhile, a button to bring the failed text back.
class RTComposeLineWidget : public QWidget
{
    Q_OBJECT

public:
    enum class Mode
    {
        Line,  // the accounts' shared compose lines, Return posts when the setting says so
        Window // lines owned by this widget, several lines of text, Ctrl+Return posts
    };

    explicit RTComposeLineWidget(Mode mode = Mode::Line, QWidget *parent = nullptr);
    ~RTComposeLineWidget() override;

    // Rebuilds the account chooser from the registered accounts that can post.
    void reloadAccounts();
    // Shows the account's line; carryText: move the current text and recipient along.
    void selectAccount(const RTServicePtr &account, bool carryText = false);
    [[nodiscard]] RTServicePtr currentAccount() const { return m_account; }
    [[nodiscard]] RTDirectInputLineViewController *controller() const { return m_controller; }
    [[nodiscard]] TADirectInputLineTextView *textBox() const { return m_textBox; }
    void focusTextBox();

    // Uploads a picture file or image to the current account's picture host.
    bool sharePictureFile(const QString &path);
    bool sharePicture(const QImage &image);
    // Opens the file chooser for a picture.
    void choosePicture();
    // Asks the shrinking service for a shorter wording of the text.
    void shrink();

    // For tests and the window: the parts' current look.
    [[nodiscard]] QString counterText() const;
    [[nodiscard]] bool counterIsOver() const;
    [[nodiscard]] bool isPostButtonEnabled() const;
    [[nodiscard]] bool isShrinkButtonEnabled() const;
    [[nodiscard]] QString statusText() const;

signals:
    void posted(const QString &text);
    void accountChanged(const RTServicePtr &account);
    // The line asks to be shown (a reply was prepared) or hidden after a post.
    void showRequested();
    void hideRequested();
    void messageListFocusRequested();

private:
    RTDirectInputLineViewController *controllerFor(const RTServicePtr &account);
    void connectController();
    void updateCounter();
    void updateRecipient();
    void setStatus(const QString &text, bool offerRestore);
    void pictureData(const QByteArray &jpeg);

    Mode m_mode;
    RTServicePtr m_account;
    QPointer<RTDirectInputLineViewController> m_controller;
    QList<RTDirectInputLineViewController *> m_ownControllers;
    QComboBox *m_accounts;
    QLabel *m_recipient;
    TADirectInputLineTextView *m_textBox;
    QLabel *m_counter;
    QToolButton *m_pictureButton;
    QToolButton *m_shrinkButton;
    QProgressBar *m_progress;
    QToolButton *m_cancelUpload;
    QPushButton *m_post;
    QLabel *m_status;
    QToolButton *m_restore;
    bool m_reloading = false;
};
