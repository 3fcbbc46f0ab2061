#pragma once

#include "model/RTUserTwitter.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class RTDirectInputLineViewController;

// One row of the mention completion.
struct RTAutocompleteUserObject
{
    QString longName;
    QString screenName;
    QString profileImageUrl;
    bool operator==(const RTAutocompleteUserObject &) const = default;
};

// The logic of the mention completion: which users to offer for the mention at the caret,
// and what choosing one does to the text. The pop-up window shows dataSourceArray().
class RTAutocompletePopupWindowController : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxCandidates = 50;

    explicit RTAutocompletePopupWindowController(QObject *parent = nullptr);

    // Opens for the line's mention at the caret; false (and hidden) when there is none
    // or no user matches.
    bool showWithDirectInput(RTDirectInputLineViewController *line);
    // Recomputes the mention and the rows after the text changed.
    void refilter();
    void hide();
    [[nodiscard]] bool isShown() const { return m_shown; }
    [[nodiscard]] RTDirectInputLineViewController *directInputListViewController() const
    {
        return m_line;
    }
    [[nodiscard]] QString filterString() const { return m_filterString; }
    [[nodiscard]] qsizetype mentionLocation() const { return m_mentionLocation; }
    [[nodiscard]] qsizetype mentionLength() const { return m_mentionLength; }
    [[nodiscard]] QList<RTAutocompleteUserObject> dataSourceArray() const { return m_rows; }
    // Replaces the mention with "@name " (lower case), caret after it, and hides.
    void chooseRow(int row);

    // Users sorted by priority (high first), then screen name; partial users left out;
    // with a filter, those whose screen name starts with it ignoring case and accents.
    [[nodiscard]] static QList<RTAutocompleteUserObject>
    candidates(const QList<RTUserTwitterPtr> &users, const QString &filter,
               int maxCount = kMaxCandidates);

signals:
    void shownChanged(bool shown);
    void rowsChanged();

private:
    bool findMention();
    void setShown(bool shown);

    QPointer<RTDirectInputLineViewController> m_line;
    bool m_shown = false;
    QString m_filterString;
    qsizetype m_mentionLocation = -1;
    qsizetype m_mentionLength = 0;
    QList<RTAutocompleteUserObject> m_rows;
};
