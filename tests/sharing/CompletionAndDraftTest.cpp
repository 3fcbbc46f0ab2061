// Mention completion rows and choices, and the compose window's draft on disk.
#include "sharing/ComposeTestSupport.h"

#include "platform/fake/FakeKeychain.h"
#include "sharing/RTAutocompletePopupWindowController.h"
#include "sharing/RTComposeDraft.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QStringList names(const QList<RTAutocompleteUserObject> &rows)
{
    QStringList out;
    for (const auto &row : rows)
        out << row.screenName;
    return out;
}

TEST(MentionCompletion, CandidatesAreSortedAndFiltered)
{
    auto partial = makeUser(u"9"_s, u"anna_partial"_s, 100);
    partial->setIsPartialUser(true);
    const QList<RTUserTwitterPtr> users = {
        makeUser(u"1"_s, u"bob"_s, 0),    makeUser(u"2"_s, u"Ann"_s, 0),
        makeUser(u"3"_s, u"anders"_s, 5), makeUser(u"4"_s, u"Ångström"_s, 0),
        makeUser(u"5"_s, u"carl"_s, 0),   partial,
    };
    struct Case
    {
        QString filter;
        QStringList expected;
    };
    const QList<Case> cases = {
        {QString(), {u"anders"_s, u"Ann"_s, u"bob"_s, u"carl"_s, u"Ångström"_s}},
        {u"an"_s, {u"anders"_s, u"Ann"_s, u"Ångström"_s}},
        {u"AN"_s, {u"anders"_s, u"Ann"_s, u"Ångström"_s}},
        {u"ång"_s, {u"Ångström"_s}},
        {u"ann"_s, {u"Ann"_s}},
        {u"zed"_s, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.filter.toStdString());
        EXPECT_EQ(names(RTAutocompletePopupWindowController::candidates(users, c.filter)),
                  c.expected);
    }
    EXPECT_EQ(RTAutocompletePopupWindowController::candidates(users, QString(), 2).size(), 2);
}

TEST(MentionCompletion, ChoosingARowReplacesTheMention)
{
    FakeKeychain keychain;
    Keychain::setShared(&keychain);
    auto account = std::make_shared<RecordingTwitter>();
    auto annie = makeUser(u"2"_s, u"AnnieB"_s);
    account->setUsersDictionary({{annie->userId(), annie}, {u"3"_s, makeUser(u"3"_s, u"bob"_s)}});
    {
        RecordingLine line(account);
        RTAutocompletePopupWindowController popup;
        struct Case
        {
            QString text;
            qsizetype caret;
            bool shown;
            QString filter;
            QString chosen;
            qsizetype caretAfter;
        };
        const QList<Case> cases = {
            {u"hi @an"_s, 6, true, u"an"_s, u"hi @annieb "_s, 11},
            {u"@ and more"_s, 1, true, QString(), u"@annieb  and more"_s, 8},
            {u"hi @zz"_s, 6, false, u"zz"_s, u"hi @zz"_s, 6},
            {u"no mention"_s, 10, false, QString(), u"no mention"_s, 10},
        };
        for (const Case &c : cases) {
            SCOPED_TRACE(c.text.toStdString());
            line.textDidChange(c.text, c.caret);
            EXPECT_EQ(popup.showWithDirectInput(&line), c.shown);
            EXPECT_EQ(popup.filterString(), c.filter);
            popup.chooseRow(0);
            EXPECT_EQ(line.text(), c.chosen);
            EXPECT_EQ(line.selectionStart(), c.caretAfter);
            EXPECT_FALSE(popup.isShown());
        }
    }
    Keychain::setShared(nullptr);
}

TEST(ComposeDraft, SurvivesAndRefusesDamage)
{
    QTemporaryDir dir;
    RTComposeDraft draft(dir.path());
    QString id;
    QVariantMap state;
    EXPECT_FALSE(draft.load(&id, &state));

    const QVariantMap saved{{u"kDILStateMessageText"_s, u"half a thought \U0001F600"_s},
                            {u"kDILStateTwitterInReplyToStatusIdString"_s, u"123"_s},
                            {u"kDILStateTwitterIsDirect"_s, false}};
    ASSERT_TRUE(draft.save(u"alice"_s, saved));
    ASSERT_TRUE(RTComposeDraft(dir.path()).load(&id, &state));
    EXPECT_EQ(id, u"alice"_s);
    EXPECT_EQ(state, saved);

    struct Case
    {
        const char *name;
        QByteArray bytes;
    };
    const QList<Case> damaged = {
        {"truncated", QByteArray::fromHex("a2696")},
        {"not a map", QByteArray::fromHex("83010203")},
        {"state not a map", QByteArray::fromHex("a16573746174650")},
        {"too large", QByteArray(RTComposeDraft::kMaxDraftBytes + 1, 'a')},
    };
    for (const Case &c : damaged) {
        SCOPED_TRACE(c.name);
        QFile file(draft.path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.bytes);
        file.close();
        EXPECT_FALSE(draft.load(&id, &state));
    }
    draft.remove();
    EXPECT_FALSE(QFile::exists(draft.path()));
    EXPECT_FALSE(draft.save(u"alice"_s, {{u"t"_s, QString(RTComposeDraft::kMaxDraftBytes, u'x')}}));
}

} // namespace
