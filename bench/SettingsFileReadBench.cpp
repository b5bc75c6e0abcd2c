// The settings thread's read of a file with a full usage history (2,500 samples as one data value)
// beside entries holding a zero double or date. The writer spells such a zero "0", which the parser
// reads as an integer, so the reader looks at the file's text to learn whether it said "-0".

#include "core/foundation/JsonFileSettingsStore.h"
#include "support/BenchmarkMain.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace vantorel {
namespace {

// About the stored form of a usage sample.
constexpr int sampleBytes = 190;
constexpr int samples = 2'500;

struct FileWithZeros
{
    explicit FileWithZeros(int zeroEntries)
    {
        JsonFileSettingsStore store(path());
        store.set(QStringLiteral("Vantorel.usageHistory"), QByteArray(samples * sampleBytes, 'x'));
        for (int i = 0; i < zeroEntries; ++i) {
            const QString key = QStringLiteral("Vantorel.zero.") + QString::number(i);
            if (i % 2)
                store.set(key, 0.0);
            else
                store.set(key, Date(0.0));
        }
    }
    QString path() const { return directory.filePath(QStringLiteral("defaults.json")); }

    QTemporaryDir directory;
};

void readFileWithZeros(benchmark::State& state)
{
    const FileWithZeros file(int(state.range(0)));
    for (auto _ : state) {
        auto contents = JsonFileSettingsStore::read(file.path());
        benchmark::DoNotOptimize(contents);
    }
}
BENCHMARK(readFileWithZeros)->ArgName("zeroEntries")->Arg(0)->Arg(1'000)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace vantorel

int main(int argc, char** argv)
{
    return vantorel::runBenchmarks<QCoreApplication>(argc, argv);
}
