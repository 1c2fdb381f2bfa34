// Bit-pattern search over a recording on disk: find's own path (the recording's files read in
// large pieces through the bit search, each match tied to its read event) on a 512 MiB recording
// of random bytes in 64-byte read events with a 32-bit sync word planted at every bit offset,
// page cache warm, on one core. The peer in the same run: `grep -c` for the same pattern in the
// same recording rendered as bit text (one line of "0"/"1" per read event, as the monitor shows
// and export --text writes it), counted as megabytes of recording per second. grep cannot see a
// pattern that straddles two lines, so it finds fewer; the figure is its speed, not its answer.
//
// Usage: bench_find [megabytes of recording], default 512 (MiB).

#include "BenchProcess.h"
#include "Report.h"
#include "app/Main.h"
#include "capture/Find.h"
#include "tests/capture/BitReference.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t EventBytes = 64;
const std::string Sync32 = "11101011100100000111011010010011";
const std::string Sync16 = "1110101110010000";
const std::string Byte8 = "10010011";

// Random bytes with the sync word planted every 64 KiB plus a few bits, so its copies fall at
// every bit offset and often across read events; returns how many were planted.
std::size_t WriteRecording(const std::string& name, std::size_t bytesTotal,
                           std::vector<std::uint8_t>& bytes) {
    bytes.resize(bytesTotal);
    std::mt19937_64 random(1236);
    for (std::size_t i = 0; i + 8 <= bytes.size(); i += 8) {
        const std::uint64_t v = random();
        std::memcpy(bytes.data() + i, &v, 8);
    }
    std::size_t planted = 0;
    for (std::uint64_t at = 1; at + Sync32.size() <= bytesTotal * 8; at += 65536 * 8 + 13) {
        bitreference::Plant(bytes, Sync32, at);
        ++planted;
    }
    capture::RecordingWriter writer(name);
    const std::int64_t start = capture::UtcMicrosNow();
    for (std::size_t at = 0; at < bytes.size(); at += EventBytes)
        writer.Append(bytes.data() + at, std::min<std::size_t>(EventBytes, bytes.size() - at),
                      start + std::int64_t(at / EventBytes) * 10);
    writer.Close();
    return planted;
}

struct Searched {
    double gbps = 0;
    std::uint64_t matches = 0;
};

// find's path over the whole recording; the best of three passes (the first warms the cache).
Searched Search(const capture::RecordingReader& recording, const std::string& pattern) {
    Searched result;
    for (int pass = 0; pass < 3; ++pass) {
        std::uint64_t matches = 0, events = 0;
        const auto start = std::chrono::steady_clock::now();
        capture::FindInRecording(recording, capture::BitPattern::Parse(pattern),
                                 [&](const capture::FoundBits& m) {
                                     ++matches;
                                     events += m.event;
                                 });
        const double gbps = double(recording.TotalBytes()) / SecondsSince(start) / 1e9;
        result.gbps = std::max(result.gbps, events >= matches ? gbps : 0);
        result.matches = matches;
    }
    return result;
}

// The recording as bit text, one line per read event, rendered by the monitor's own conversion.
void WriteBitText(const std::vector<std::uint8_t>& bytes, const std::string& file) {
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (!out)
        return;
    std::setvbuf(out, nullptr, _IOFBF, 1 << 20);
    for (std::size_t at = 0; at < bytes.size(); at += EventBytes) {
        std::string line =
            BitLine(bytes.data() + at, int(std::min<std::size_t>(EventBytes, bytes.size() - at)));
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), out);
    }
    std::fclose(out);
}

// Runs a program to its end; its wall time in seconds and its standard output, or a negative
// time when it is missing or fails.
double Timed(const QString& program, const QStringList& arguments, QByteArray* output = nullptr) {
    if (QStandardPaths::findExecutable(program).isEmpty() && !program.startsWith('/'))
        return -1;
    QProcess process;
    if (!output)
        process.setStandardOutputFile(QProcess::nullDevice());
    const auto start = std::chrono::steady_clock::now();
    process.start(program, arguments);
    // grep -c exits 1 when no line matches; only a status above 1 is a failure.
    if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() > 1)
        return -1;
    const double seconds = SecondsSince(start);
    if (output)
        *output = process.readAllStandardOutput();
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    PrepareBenchmarkProcess();
    const std::size_t mebibytes = argc > 1 ? std::size_t(std::stoul(argv[1])) : 512;
    QTemporaryDir folder;
    const std::string name = folder.filePath("rec").toStdString();
    std::vector<std::uint8_t> bytes;
    const std::size_t planted = WriteRecording(name, mebibytes << 20, bytes);
    const capture::RecordingReader recording(name);
    const double megabytes = double(recording.TotalBytes()) / 1e6;

    std::printf("Bit-pattern search, a %.0f MB recording of random bytes in %u-byte read events "
                "(GB/s of recording on one core, best of 3, page cache warm):\n",
                megabytes, EventBytes);
    const Searched sync32 = Search(recording, Sync32);
    const Searched sync16 = Search(recording, Sync16);
    const Searched byte8 = Search(recording, Byte8);
    const bool allPlantedFound = sync32.matches >= planted;
    std::printf("  32-bit sync word: %6.2f GB/s, %llu matches (%zu planted%s)\n", sync32.gbps,
                (unsigned long long)sync32.matches, planted,
                allPlantedFound ? "" : ", SOME MISSING");
    std::printf("  16-bit word:      %6.2f GB/s, %llu matches\n", sync16.gbps,
                (unsigned long long)sync16.matches);
    std::printf("   8-bit pattern:   %6.2f GB/s, %llu matches\n", byte8.gbps,
                (unsigned long long)byte8.matches);

    // The worst case: 64 zero bits in zeros match at every bit offset (8 matches per byte).
    {
        QTemporaryDir zerosFolder;
        const std::string zeros = zerosFolder.filePath("zeros").toStdString();
        const std::vector<std::uint8_t> block(EventBytes, 0x00);
        {
            capture::RecordingWriter writer(zeros);
            for (std::size_t at = 0; at < (std::size_t(64) << 20); at += EventBytes)
                writer.Append(block.data(), block.size(), 0);
            writer.Close();
        }
        const capture::RecordingReader zeroRecording(zeros);
        const Searched worst = Search(zeroRecording, std::string(64, '0'));
        std::printf(
            "  64 zero bits in %.0f MB of zeros (the worst case): %.3f GB/s, %llu "
            "matches (%.0f million per second)\n",
            double(zeroRecording.TotalBytes()) / 1e6, worst.gbps, (unsigned long long)worst.matches,
            worst.gbps * 1e9 / double(zeroRecording.TotalBytes()) * double(worst.matches) / 1e6);
    }

    // The whole command for the sync word, its lines to /dev/null: reading the index
    // (a row per event) included.
    const double command = Timed(KELVOR_CAPTURE, {"find", QString::fromStdString(name), "--bits",
                                                  QString::fromStdString(Sync32)});
    if (command > 0)
        std::printf("  the command, kelvor-capture find (index of %zu events, search, lines): "
                    "%.2f s\n",
                    recording.Events().size(), command);

    const std::string text = folder.filePath("rec.txt").toStdString();
    WriteBitText(bytes, text);
    bytes = {};
    Timed("cat", {QString::fromStdString(text)}); // into the page cache
    QByteArray counted;
    const double grep = Timed(
        "grep", {"-c", QString::fromStdString(Sync32), QString::fromStdString(text)}, &counted);
    const double grepMBps = grep > 0 ? megabytes / grep : -1;
    std::printf("  peer grep -c on the bit text (%.0f MB of text): %s",
                megabytes * 8 + double(recording.Events().size()) / 1e6,
                grep > 0 ? Cell("%.0f MB/s of recording, %s lines counted\n", grepMBps,
                                counted.trimmed().constData())
                               .c_str()
                         : "grep not installed or failed\n");

    const std::string peer = grep > 0 ? Cell("grep -c on bit text %.0f MB/s", grepMBps)
                                      : std::string("grep not installed");
    Report("Bit-pattern search (32-bit sync word)", ">= 1 GB/s", Cell("%.2f GB/s", sync32.gbps),
           peer, sync32.gbps >= 1 && allPlantedFound);
    Report("Bit-pattern search (16-bit, 8-bit pattern)", ">= 1 GB/s",
           Cell("%.2f, %.2f GB/s", sync16.gbps, byte8.gbps), "",
           sync16.gbps >= 1 && byte8.gbps >= 1);
    return 0;
}
