#include "foundation/UrlKeys.h"
#include "store/TAImageCache.h"
#include "store/TAStoreFiles.h"
#include "store/TAUrlCache.h"

#include <gtest/gtest.h>

#include <QCborArray>
#include <QCborMap>
#include <QCborValue>

namespace {

QString key(int i)
{
    return dotlessUrl(QStringLiteral("http://pics.example/%1.png").arg(i));
}

QByteArray picture(int i)
{
    return QByteArray("picture-") + QByteArray::number(i);
}

} // namespace

TEST(UrlKeysTest, KeysAreLineBrokenBase64AndRoundTrip)
{
    struct Case
    {
        QString url;
        QString key;
    };
    const QString x48(48, QLatin1Char('x'));
    const Case cases[] = {
        {QStringLiteral("http://a.b/c.png"), QStringLiteral("aHR0cDovL2EuYi9jLnBuZw==\n")},
        // 48 bytes fill exactly one line of 64 characters.
        {x48, QStringLiteral("eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4\n")},
        // One byte more breaks the line inside the key.
        {x48 + QLatin1Char('x'),
         QStringLiteral(
             "eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4\neA==\n")},
        // Non-ASCII characters are encoded as their UTF-8 bytes.
        {QStringLiteral("http://ex\u00e4mple.com/bild.png"),
         QStringLiteral("aHR0cDovL2V4w6RtcGxlLmNvbS9iaWxkLnBuZw==\n")},
        {QString(), QString()},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(dotlessUrl(c.url), c.key) << c.url.toStdString();
        EXPECT_FALSE(dotlessUrl(c.url).contains(QLatin1Char('.')));
        EXPECT_EQ(redottedUrl(c.key), c.url.isNull() ? QLatin1String("") : c.url);
    }
    const QString longUrl = QStringLiteral("https://example.com/") + QString(500, QChar(0x263A));
    const QString longKey = dotlessUrl(longUrl);
    for (const QString &line : longKey.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        EXPECT_LE(line.size(), 64);
    EXPECT_EQ(redottedUrl(longKey), longUrl);

    // Keys that are not ours decode to nothing rather than to garbage.
    for (const QString &bad : {QStringLiteral("not base64!"), QStringLiteral("/w==\n"),
                               QStringLiteral("\u00e9\u00e9\u00e9\u00e9")})
        EXPECT_TRUE(redottedUrl(bad).isNull()) << bad.toStdString();
}

TEST(ImageCacheTest, AskingTwiceBeforeArrivalFetchesOnce)
{
    TAImageCache cache;
    bool fetch = false;
    EXPECT_TRUE(cache.lookup(key(1), &fetch).isNull());
    EXPECT_TRUE(fetch);
    EXPECT_TRUE(cache.lookup(key(1), &fetch).isNull());
    EXPECT_FALSE(fetch);
    EXPECT_TRUE(cache.isPlaceholder(key(1)));
    EXPECT_EQ(cache.sortedKeys(), QStringList{key(1)});

    cache.insert(key(1), picture(1));
    // The lookup's entry and the arrival's entry.
    EXPECT_EQ(cache.sortedKeys(), (QStringList{key(1), key(1)}));
    bool fetchAgain = true;
    EXPECT_EQ(cache.lookup(key(1), &fetchAgain), picture(1));
    EXPECT_FALSE(fetchAgain);
    // A lookup moves the key to the front, removing every other occurrence.
    EXPECT_EQ(cache.sortedKeys(), QStringList{key(1)});

    cache.lookup(key(2), &fetch);
    EXPECT_EQ(cache.sortedKeys(), (QStringList{key(2), key(1)}));
    cache.lookup(key(1), &fetch);
    EXPECT_EQ(cache.sortedKeys(), (QStringList{key(1), key(2)}));
}

TEST(ImageCacheTest, TrimCountsIndexEntriesAndRemovesTailKeysEverywhere)
{
    // Pictures asked for and then arrived take two entries each, so the first trim comes
    // with the 1,001st picture and keeps the newest 500.
    TAImageCache cache;
    bool fetch = false;
    for (int i = 1; i <= 1000; ++i) {
        cache.lookup(key(i), &fetch);
        cache.insert(key(i), picture(i));
    }
    EXPECT_EQ(cache.count(), 1000);
    EXPECT_EQ(cache.sortedKeys().size(), 2000);
    cache.lookup(key(1001), &fetch);
    EXPECT_EQ(cache.sortedKeys().size(), 2001); // lookups never trim
    cache.insert(key(1001), picture(1001));
    EXPECT_EQ(cache.sortedKeys().size(), 1000);
    EXPECT_EQ(cache.count(), 500);
    EXPECT_TRUE(cache.contains(key(502)));
    EXPECT_FALSE(cache.contains(key(501)));
    EXPECT_FALSE(cache.contains(key(1)));

    // A key among the first 1,000 entries that also occurs in the tail goes entirely.
    TAImageCache second;
    for (int i = 1; i <= 2000; ++i)
        second.insert(key(i), picture(i));
    EXPECT_EQ(second.sortedKeys().size(), 2000);
    second.insert(key(1), picture(1)); // now first and last
    EXPECT_FALSE(second.contains(key(1)));
    EXPECT_FALSE(second.sortedKeys().contains(key(1)));
    EXPECT_EQ(second.sortedKeys().size(), 999);
    EXPECT_EQ(second.sortedKeys().first(), key(2000));
    EXPECT_EQ(second.sortedKeys().last(), key(1002));
    EXPECT_EQ(second.count(), 999);
}

// The pictures' file must never outgrow what the store reads back, or the whole cache
// is lost at the next start.
TEST(ImageCacheTest, PicturesStayWithinTheirByteBudgetOldestGoingFirst)
{
    const struct
    {
        const char *what;
        QList<int> sizes;    // pictures 1, 2, ... in arrival order
        int touched;         // looked up again after all arrived; 0: none
        QList<int> expected; // pictures kept
    } cases[] = {
        {"within budget", {200, 200, 200, 200, 200}, 0, {1, 2, 3, 4, 5}},
        {"oldest goes", {240, 240, 240, 240, 240}, 0, {2, 3, 4, 5}},
        {"recent use counts", {240, 240, 240, 240, 240}, 1, {1, 3, 4, 5}},
        {"too large for the cache", {200, 251}, 0, {1}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TAImageCache cache;
        cache.setMaxDataBytes(1000);
        bool fetch = false;
        for (int i = 0; i < c.sizes.size() - (c.touched ? 1 : 0); ++i)
            cache.insert(key(i + 1), QByteArray(c.sizes.at(i), 'p'));
        if (c.touched) {
            (void)cache.lookup(key(c.touched), &fetch);
            cache.insert(key(c.sizes.size()), QByteArray(c.sizes.last(), 'p'));
        }
        QList<int> kept;
        qint64 bytes = 0;
        for (int i = 1; i <= c.sizes.size(); ++i) {
            if (cache.contains(key(i)) && !cache.isPlaceholder(key(i))) {
                kept << i;
                bytes += c.sizes.at(i - 1);
            }
        }
        EXPECT_EQ(kept, c.expected);
        EXPECT_EQ(cache.dataBytes(), bytes);
        EXPECT_LE(cache.dataBytes(), 1000);
    }

    // The full budget with the index's worth of keys still fits what the store reads.
    EXPECT_LT(TAImageCache::kMaxDataBytes + TAImageCache::kTrimThreshold * 1024,
              TAStoreFiles::maximumSize(QLatin1String(TAStoreFiles::kImagesDataFile)));
}

TEST(ImageCacheTest, FilesSkipPlaceholdersAndRestoreDefensively)
{
    TAImageCache cache;
    bool fetch = false;
    cache.insert(key(1), picture(1));
    cache.lookup(key(2), &fetch); // pending download
    cache.insert(key(3), picture(3));

    TAImageCache restored;
    QString error;
    ASSERT_TRUE(restored.decode(cache.encodeData(), cache.encodeIndex(), &error))
        << error.toStdString();
    EXPECT_EQ(restored.count(), 2);
    EXPECT_FALSE(restored.contains(key(2)));
    EXPECT_EQ(restored.sortedKeys(), (QStringList{key(3), key(1)}));
    bool fetchRestored = true;
    EXPECT_EQ(restored.lookup(key(1), &fetchRestored), picture(1));
    EXPECT_FALSE(fetchRestored);

    // Without a usable index the pictures are kept and indexed at the end; index keys
    // without a picture are dropped.
    QCborArray staleIndex{key(3), key(99), 42};
    const std::optional<QByteArray> indexes[] = {std::nullopt, QByteArray("\xff\x01", 2),
                                                 QCborValue(QCborMap()).toCbor(),
                                                 QCborValue(staleIndex).toCbor()};
    for (const auto &index : indexes) {
        TAImageCache c;
        QString indexError;
        ASSERT_TRUE(c.decode(cache.encodeData(), index, &error, &indexError));
        EXPECT_EQ(c.count(), 2);
        EXPECT_EQ(QSet<QString>(c.sortedKeys().cbegin(), c.sortedKeys().cend()),
                  (QSet<QString>{key(1), key(3)}));
        if (index && index != QCborValue(staleIndex).toCbor()) {
            EXPECT_FALSE(indexError.isEmpty());
        }
    }

    // Pictures that are not bytes, or a root that is not a map, are refused whole.
    QCborMap wrongValue;
    wrongValue.insert(key(1), QStringLiteral("text"));
    for (const QByteArray &data :
         {QCborValue(wrongValue).toCbor(), QCborValue(QCborArray{1, 2}).toCbor(), QByteArray()}) {
        TAImageCache c;
        QString e;
        EXPECT_FALSE(c.decode(data, std::nullopt, &e));
        EXPECT_FALSE(e.isEmpty());
        EXPECT_EQ(c.count(), 0);
    }
}

TEST(UrlCacheTest, RoundTripsAndRefusesWrongShapes)
{
    TAUrlCache cache;
    const quint64 before = cache.dataGeneration();
    cache.setValue(key(1), QStringLiteral("http://long.example/a%20b"));
    cache.setValue(key(2), QStringLiteral("http://long.example/\u00fc"));
    EXPECT_GT(cache.dataGeneration(), before);
    const quint64 afterSet = cache.dataGeneration();
    cache.setValue(key(2), QStringLiteral("http://long.example/\u00fc"));
    EXPECT_EQ(cache.dataGeneration(), afterSet); // same value: nothing to save

    TAUrlCache restored;
    QString error;
    ASSERT_TRUE(restored.decode(cache.encodeData(), cache.encodeIndex(), &error));
    EXPECT_EQ(restored.entries(), cache.entries());
    // The same content encodes to the same bytes, so unchanged files are not rewritten.
    EXPECT_EQ(restored.encodeData(), cache.encodeData());

    QCborMap wrong;
    wrong.insert(key(1), 17);
    EXPECT_FALSE(restored.decode(QCborValue(wrong).toCbor(), std::nullopt, &error));
    EXPECT_EQ(restored.count(), 0);
}
