// The two file operations a user waits for: one Make, and one default read
// and write on profiles from small to far larger than anyone edits by hand.
#include "ProfileFile.h"
#include "VersionScript.h"

#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

const VersionScript::Values values = { "\x8A\x94\x8E\xAE\x89\xEF\x8E\xD0",
                                       "Tool",
                                       "1.0.0.0",
                                       "tool",
                                       "(c) 2026",
                                       "tool.exe",
                                       "Tool",
                                       "1.0" };

void make(benchmark::State &state)
{
    QTemporaryDir dir;
    const QByteArrayList templateLines = VersionScript::buildTemplate();
    for (auto _ : state)
        VersionScript::make(templateLines, values, dir.path() + u'/');
}
BENCHMARK(make)->Unit(benchmark::kMicrosecond);

// The floor for Make: the same bytes written to a new file and renamed over
// the old one, with nothing else.
void createWriteRename(benchmark::State &state)
{
    QTemporaryDir dir;
    const QByteArray script = VersionScript::assemble(VersionScript::buildTemplate(), values);
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("Kestrum.rc")));
    const QByteArray temporary = path + ".tmp";
    for (auto _ : state) {
        FILE *file = std::fopen(temporary.constData(), "wb");
        std::fwrite(script.constData(), 1, script.size(), file);
        std::fclose(file);
        std::rename(temporary.constData(), path.constData());
    }
}
BENCHMARK(createWriteRename)->Unit(benchmark::kMicrosecond);

// A hand-edited profile of `size` bytes: many sections of comments and keys,
// with OPTION at the end so that a read scans all of it.
QByteArray largeProfile(qsizetype size)
{
    QByteArray content;
    for (int section = 0; content.size() < size; ++section) {
        content += "[SECTION" + QByteArray::number(section) + "]\r\n; notes\r\n";
        for (int key = 0; key < 10; ++key)
            content
                += "KEY" + QByteArray::number(key) + "=value " + QByteArray::number(key) + "\r\n";
    }
    return content + "[OPTION]\r\nCOMPANY=Acme\r\nRIGHTS=(c)\r\n";
}

void profileReadWrite(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Kestrum.ini"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(largeProfile(state.range(0))) < 0) {
        state.SkipWithError("cannot write the profile");
        return;
    }
    file.close();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ProfileFile::read(path, "OPTION", "COMPANY", {}));
        if (!ProfileFile::write(path, "OPTION", "RIGHTS", "(c) 2026")) {
            state.SkipWithError("write failed");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(profileReadWrite)
    ->Arg(1 << 10)
    ->Arg(100 << 10)
    ->Arg(1 << 20)
    ->Arg(10 << 20)
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
