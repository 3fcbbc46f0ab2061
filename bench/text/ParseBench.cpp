// parse() over a corpus of realistic tweets, on one thread.
//
// The corpus is our own tweets in several scripts, plus the "text" fields of recorded
// Twitter API answers when TALVO_TWEET_SAMPLES names a folder of them.
#include "text/RTMessageTextParser.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <benchmark/benchmark.h>

namespace {

const char16_t *const kOwnTweets[] = {
    u"Just landed in Lisbon! Great flight with @TAPAirPortugal #travel http://bit.ly/a1B2c3",
    u"RT @nytimes: Breaking: Markets rally as $AAPL beats estimates http://nyti.ms/9xYz",
    u"@alice thanks! See you at 8pm. Bring the slides from www.example.com/talk.pdf",
    u"Reading http://www.theguardian.com/world/2010/jan/12/haiti-earthquake?CMP=twt_gu",
    u"New blog post: \"Ten things about C++20 ranges\" http://blog.example.org/2010/03/ranges/ "
    u"#cpp",
    u"@bob @carol @dave lunch tomorrow? reply or mail lunch@example.com",
    u"Listening to the new album. So good! #nowplaying",
    u"Our list of great people: @talvo/team-members. Follow them!",
    u"htp//example.com/broken-link is fixed now, and so is ttp://example.net/other",
    u"The score: 3-1. #worldcup2010 #ESP #NED",
    u"Can't believe it's already Friday... where did the week go?",
    u"Photos from the trip: http://twitpic.com/1abcd2 http://yfrog.com/4xyz",
    u"Stocks today: $GOOG $MSFT $ORCL all up. $IBM flat.",
    u"東京は今日も暑いです。@yamada_taro さん、明日の会議は10時からです #東京 "
    u"http://example.jp/会議",
    u"新しいブログを書きました！ぜひ読んでください www.example.jp/blog/2010/07 #ブログ",
    u"Привет всем! Сегодня в Москве снег. @ivan_petrov, ты где? #Москва http://ya.ru/",
    u"Новая версия программы вышла: http://example.ru/download?v=2.0 #релиз",
    u"مرحبا بالجميع! اليوم يوم جميل في القاهرة #مصر @ahmed_ali http://example.eg/خبر",
    u"שלום לכולם, מה נשמע? @moshe #ישראל",
    u"안녕하세요! 오늘 서울 날씨가 좋네요 #서울 @kim_minsu www.example.kr",
    u"Ça va bien, merci! On se voit au café? @josé #Paris http://www.lemonde.fr/",
    u"Schöne Grüße aus München! Das Oktoberfest beginnt bald. #Wiesn @müller http://t.co/AbC",
    u"¿Vienes a la fiesta? ¡Será genial! @maría_lópez #fiesta",
    u"Ελληνικά κείμενα με #ετικέτα και @χρήστης και http://example.gr/σελίδα",
    u"नमस्ते दुनिया! आज का दिन अच्छा है #भारत @raj",
    u"ข่าวล่าสุดวันนี้ #ข่าว http://example.co.th",
    u"Happy birthday!!! 🎂🎉 @sarah hope you have a great one 😀",
    u"Meeting notes at ftp://files.example.com/notes/2010-06-01.txt (login required)",
    u"Subscribe: feed://example.com/rss.xml or http://feeds.example.com/atom",
    u"just setting up my account",
    u"#1 fan of this show. Episode #42 was the best. #FF @a @b @c",
    u"Please RT: we need volunteers for Saturday, sign up at http://goo.gl/abCD12 #volunteer",
    u"Q: What's the best way to learn Qt? A: read the docs at http://doc.qt.io/qt-6/ and write "
    u"code",
    u"lol",
    u"Check out user:pass@www.example.com:8080/path?x=1 (don't really)",
};

QStringList sampleTweets()
{
    QStringList out;
    const QByteArray dir = qgetenv("TALVO_TWEET_SAMPLES");
    if (dir.isEmpty())
        return out;
    const QDir folder(QString::fromLocal8Bit(dir));
    for (const QString &name : folder.entryList({QStringLiteral("*.json")}, QDir::Files)) {
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
        std::function<void(const QJsonValue &)> walk = [&](const QJsonValue &v) {
            if (v.isArray()) {
                for (const QJsonValue &e : v.toArray())
                    walk(e);
            } else if (v.isObject()) {
                const QJsonObject o = v.toObject();
                for (auto it = o.begin(); it != o.end(); ++it) {
                    if (it.key() == QLatin1String("text") && it.value().isString())
                        out.append(it.value().toString());
                    else
                        walk(it.value());
                }
            }
        };
        walk(doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object()));
    }
    return out;
}

const QStringList &corpus()
{
    static const QStringList tweets = [] {
        QStringList t;
        for (const char16_t *s : kOwnTweets)
            t.append(QString::fromUtf16(s));
        t.append(sampleTweets());
        return t;
    }();
    return tweets;
}

void BM_ParseTweets(benchmark::State &state)
{
    const QStringList &tweets = corpus();
    (void)RTMessageTextParser::parse(tweets.front()); // compile the patterns outside the loop
    qsizetype runs = 0;
    for (auto _ : state) {
        for (const QString &t : tweets) {
            RTStyledText styled = RTMessageTextParser::parse(t);
            runs += styled.runs().size();
            benchmark::DoNotOptimize(styled);
        }
    }
    state.SetItemsProcessed(state.iterations() * tweets.size());
    state.counters["tweets"] = double(tweets.size());
    state.counters["runs_per_tweet"] = double(runs) / double(state.iterations() * tweets.size());
}
BENCHMARK(BM_ParseTweets)->Unit(benchmark::kMillisecond);

void BM_EntityLists(benchmark::State &state)
{
    const QStringList &tweets = corpus();
    for (auto _ : state) {
        for (const QString &t : tweets) {
            benchmark::DoNotOptimize(RTMessageTextParser::mentionsInMessageText(t));
            benchmark::DoNotOptimize(RTMessageTextParser::linksInMessageText(t));
        }
    }
    state.SetItemsProcessed(state.iterations() * tweets.size());
}
BENCHMARK(BM_EntityLists)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
