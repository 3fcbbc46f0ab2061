#include "TwitterPage.h"

#include "json/JsonReader.h"
#include "json/JsonWriter.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>
#include <rapidjson/document.h>

namespace {

const QByteArray &page()
{
    static const QByteArray p = makeTwitterPage(200);
    return p;
}

void BM_TalvoRead(benchmark::State &state)
{
    const QByteArray &text = page();
    for (auto _ : state) {
        JsonReader reader;
        JsonValue v = reader.objectWithString(text);
        if (v.size() != 200)
            state.SkipWithError("page not read");
        benchmark::DoNotOptimize(v);
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_TalvoRead);

// Reading plus what the Twitter mapping does with each status: ids, text, user fields.
void BM_TalvoReadAndVisit(benchmark::State &state)
{
    const QByteArray &text = page();
    for (auto _ : state) {
        JsonReader reader;
        const JsonValue v = reader.objectWithString(text);
        qint64 sum = 0;
        for (const JsonValue &status : v) {
            sum += status["id"].toInt64();
            sum += status["text"].toString().size();
            sum += status["user"]["screen_name"].toString().size();
            sum += status["retweeted_status"]["id_str"].toString().size();
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_TalvoReadAndVisit);

void BM_TalvoWrite(benchmark::State &state)
{
    const QByteArray &text = page();
    JsonReader reader;
    const QVariant v = QVariant::fromValue(reader.objectWithString(text));
    for (auto _ : state) {
        JsonWriter writer;
        QByteArray out = writer.utf8WithObject(v);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_TalvoWrite);

void BM_NlohmannRead(benchmark::State &state)
{
    const QByteArray &text = page();
    for (auto _ : state) {
        auto v = nlohmann::json::parse(text.constData(), text.constData() + text.size());
        if (v.size() != 200)
            state.SkipWithError("page not read");
        benchmark::DoNotOptimize(v);
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_NlohmannRead);

void BM_RapidJsonRead(benchmark::State &state)
{
    const QByteArray &text = page();
    for (auto _ : state) {
        rapidjson::Document d;
        d.Parse(text.constData(), size_t(text.size()));
        if (d.HasParseError() || d.Size() != 200)
            state.SkipWithError("page not read");
        benchmark::DoNotOptimize(d);
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_RapidJsonRead);

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::AddCustomContext("page bytes", std::to_string(page().size()));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
