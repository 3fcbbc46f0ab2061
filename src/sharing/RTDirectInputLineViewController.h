#pragma once

#include "accounts/RTService.h"
#include "network/RTRequestOperation.h"

#include <QHash>
#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <functional>

class RTTweetShrinkRequestOperation;

// The controller behind a compose line: the text, the character budget and counter, when
// posting is allowed, link shortening before a post, picture upload, and the hand-over of
// the text to the account. It holds the text itself; a view shows it, reports the user's
// edits (shouldChangeText(), textDidChange()) and follows the change signals.
//
// What the user wrote is never dropped: a shortening that fails keeps the long link, and
// a post the account fails to send comes back into the line.
class RTDirectInputLineViewController : public QObject
{
    Q_OBJECT

public:
    // Any edit at or beyond this position is refused, on every line.
    static constexpr qsizetype kHardTextCeiling = 1500;

    enum class CounterStyle
    {
        Normal,  // grey
        Warning, // ten characters or fewer left: darker grey
        Over     // red and bold
    };

    explicit RTDirectInputLineViewController(RTServicePtr service, QObject *parent = nullptr);
    ~RTDirectInputLineViewController() override;

    // The account's one controller, created on first use by the factory registered for its
    // kind; nullptr for accounts that cannot compose.
    using Factory = std::function<RTDirectInputLineViewController *(const RTServicePtr &)>;
    static void registerControllerFactory(int serviceType, Factory factory);
    [[nodiscard]] static RTDirectInputLineViewController *
    directInputlineViewController(const RTServicePtr &service);
    // A new controller for the account, not the account's own (the compose window keeps
    // lines of its own); nullptr for accounts that cannot compose. Owned by the caller.
    [[nodiscard]] static RTDirectInputLineViewController *
    newControllerForService(const RTServicePtr &service);
    // Forgets the controller of a removed account.
    static void releaseControllerForService(const RTService *service);
    // Frees every account's controller at quit: each holds its account, and the account's
    // connections hold it, so nothing else ever would.
    static void releaseAllControllers();

    [[nodiscard]] RTServicePtr service() const { return m_service; }

    // --- text ---------------------------------------------------------------------
    [[nodiscard]] QString text() const { return m_text; }
    // Sets the text as the program, not the user, and announces it to the view.
    void setText(const QString &text);
    [[nodiscard]] qsizetype selectionStart() const { return m_selectionStart; }
    [[nodiscard]] qsizetype selectionLength() const { return m_selectionLength; }
    void setSelectedRange(qsizetype location, qsizetype length = 0);

    // --- budget -------------------------------------------------------------------
    [[nodiscard]] bool limited() const { return m_limited; }
    [[nodiscard]] int limitTextLenght() const { return m_limitTextLenght; }
    [[nodiscard]] int remaining() const;
    [[nodiscard]] CounterStyle counterStyle() const { return m_counterStyle; }
    [[nodiscard]] bool isPostEnabled() const { return m_postEnabled; }
    // Answers whether the post button is disabled (the main menu's item means "cannot
    // send yet").
    [[nodiscard]] bool canSend() const { return !m_postEnabled; }

    // --- state --------------------------------------------------------------------
    [[nodiscard]] bool isPendingPost() const { return m_isPendingPost; }
    [[nodiscard]] bool isShortening() const { return m_isShortening; }
    [[nodiscard]] bool isTemporary() const { return m_isTemporary; }
    void setIsTemporary(bool temporary) { m_isTemporary = temporary; }
    [[nodiscard]] bool avoidAutocompletePopup() const { return m_avoidAutocompletePopup; }
    void setAvoidAutocompletePopup(bool avoid) { m_avoidAutocompletePopup = avoid; }
    [[nodiscard]] bool isUploading() const { return m_upload != nullptr; }
    // A shrink request is out; the text is read-only until it is answered.
    [[nodiscard]] bool isShrinking() const { return m_shrink != nullptr; }
    // Posts handed to the account whose answer has not come yet.
    [[nodiscard]] int postsInFlight() const { return m_postsInFlight; }
    // A post the account could not send while the line held other text.
    [[nodiscard]] QString failedPostText() const
    {
        return m_failedPost.value(kStateText).toString();
    }

    // --- view events --------------------------------------------------------------
    // Whether an edit replacing [location, location + length) with replacement may
    // happen; a refusal beeps.
    bool shouldChangeText(qsizetype location, qsizetype length, const QString &replacement);
    // The user changed the text; caret: where the caret now is.
    void textDidChange(const QString &text, qsizetype caret);
    // A paste of plain text: inserted at the selection, then links are shortened when the
    // settings ask for it. False when the edit is refused.
    bool pasteText(const QString &pasted);

    // --- commands -----------------------------------------------------------------
    // Recount and enable or disable the post button.
    virtual void dealWithMessage(const QString &text);
    void clearMessageText();
    virtual void clearDirectInputLine();
    bool isReadyToPost();
    void shortenLinks();
    void shortenLinksIfNeeded();
    void addAndShortenURL(const QString &url);
    void shorteningFinishedWithShortener(const RTServicePtr &shortener, const QString &longURL,
                                         const QString &shortURL);
    void replaceLongURLsWithShortURLs();
    // Uploads a picture (JPEG bytes) to the account's picture host; its link is appended
    // when the upload succeeds. False when nothing was sent (no picture support, too
    // large, an upload already running).
    bool shareImageData(const QByteArray &jpeg);
    void cancelUpload();
    // Asks the shrinking service for a shorter wording of the text. The line is read-only
    // and cannot post until the answer comes; a failed or empty answer keeps the text.
    // False when nothing was sent (empty text, a shrink already out).
    bool shrinkPost();
    void finishedShrinkingWithTweetShrink(const RTTweetShrinkRequestOperation &shrink);
    // Puts a failed post back into the line (the text and, for Twitter, its recipient).
    void restoreFailedPost();
    virtual void send();
    [[nodiscard]] virtual bool validateMenuItem(int tag) const;
    [[nodiscard]] bool isShowingMentionsPopupNeeded() const;

    // State handed over when the text moves to another account's line.
    [[nodiscard]] virtual QVariantMap stateDictionary() const;
    virtual void setupStateWithStateDictionary(const QVariantMap &state);

    static constexpr char kStateText[] = "kDILStateMessageText";

signals:
    // The program changed the text or the caret; the view shows them.
    void textChanged(const QString &text);
    void selectionChanged(qsizetype location, qsizetype length);
    void countChanged();
    void recipientChanged();
    void focusRequested();
    // After a temporary line posted: the message list takes the keyboard focus back.
    void messageListFocusRequested();
    // Show the line (a reply, quote or message was prepared) or hide it after a post.
    void showLineRequested();
    void hideLineRequested();
    void mentionsPopupRequested(bool show);
    void readOnlyChanged(bool readOnly);
    void posted(const QString &text);
    void postFailed(const QString &message);
    void uploadStarted();
    void uploadProgress(qint64 sent, qint64 total);
    void uploadFinished(bool success, const QString &message);
    void shorteningFailed(const QString &longUrl);
    void shrinkingChanged(bool shrinking);
    // The text was kept because the service gave no shorter one; reason for the user.
    void shrinkFailed(const QString &reason);

protected:
    void setLimited(bool limited, int budget);
    // The base after-send steps.
    void finishSend();
    // Seams: the request for one shortening, and the account's send. Tests replace them.
    virtual bool requestShortening(const RTServicePtr &shortener, const QString &longUrl);
    // The shortener the account itself names; null to use the program's default.
    [[nodiscard]] virtual RTServicePtr accountShortener() const;
    // Known short-link and picture-host domains: links on them are not shortened again.
    [[nodiscard]] virtual QStringList knownShortDomains() const;
    // Whether the text holds a link that shortening would replace.
    [[nodiscard]] bool hasShortenableLinks(const QString &text) const;
    // Called with the send's result by subclasses' request callbacks.
    void sendFinished(bool success, const QVariantMap &result, const QVariantMap &sentState);
    // A request delegate that reports to this controller while it exists.
    RTRequestDelegatePtr sendDelegate(const QVariantMap &sentState);
    void beep() const;

    QString m_text;

private:
    void setPostEnabled(bool enabled);
    void cancelShrink();

    RTServicePtr m_service;
    bool m_avoidAutocompletePopup = false;
    bool m_limited = false;
    int m_limitTextLenght = 0;
    bool m_isPendingPost = false;
    bool m_isShortening = false;
    bool m_isTemporary = false;
    bool m_postEnabled = false;
    CounterStyle m_counterStyle = CounterStyle::Normal;
    qsizetype m_selectionStart = 0;
    qsizetype m_selectionLength = 0;
    QRecursiveMutex m_lock; // urlShorteningList and shortUrlLookUp
    QStringList m_urlShorteningList;
    QHash<QString, QString> m_shortUrlLookUp; // dotless long link -> short link
    RTServicePtr m_currentShortener;
    RTRequestOperationPtr m_upload;
    std::shared_ptr<RTTweetShrinkRequestOperation> m_shrink;
    QVariantMap m_failedPost;
    int m_postsInFlight = 0;
    QStringList m_pictureLinks; // links of uploaded pictures, never shortened
};
