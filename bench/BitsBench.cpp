// Bytes to bit text: the monitor's conversion (a read event's bytes to a line of "0" and "1",
// most significant bit first) beside the command-line tools that do the same, on the same
// 64 MB of random bytes in the same run: `basenc --base2msbf -w0` and `xxd -b`. The tools
// read a file and write to /dev/null; their time includes starting the process (a few ms).
//
// Usage: bench_bits [megabytes], default 64.

#include "BenchProcess.h"
#include "Report.h"
#include "app/Main.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

// The monitor's conversion over the bytes in blocks of a typical read (64 KiB); the best of
// three passes.
double OursMBps(const std::vector<std::uint8_t>& bytes) {
    constexpr int Block = 65536;
    double best = 0;
    std::size_t check = 0;
    for (int pass = 0; pass < 3; ++pass) {
        const auto start = std::chrono::steady_clock::now();
        for (std::size_t at = 0; at < bytes.size(); at += Block) {
            const int n = int(std::min<std::size_t>(Block, bytes.size() - at));
            const std::string line = BitLine(bytes.data() + at, n);
            check += std::size_t(line[std::size_t(n) * 8 - 1]);
        }
        best = std::max(best, double(bytes.size()) / SecondsSince(start) / 1e6);
    }
    return check > 0 ? best : 0;
}

// A tool's MB/s over the file, or a negative value when it is not installed or fails.
double ToolMBps(const QString& tool, const QStringList& arguments, const QString& file,
                std::size_t size) {
    if (QStandardPaths::findExecutable(tool).isEmpty()) {
        return -1;
    }
    QProcess process;
    process.setStandardInputFile(file);
    process.setStandardOutputFile(QProcess::nullDevice());
    const auto start = std::chrono::steady_clock::now();
    process.start(tool, arguments);
    if (!process.waitForFinished(600000) || process.exitCode() != 0) {
        return -1;
    }
    return double(size) / SecondsSince(start) / 1e6;
}

std::string ToolCell(const char* name, double mbps) {
    return mbps < 0 ? std::string(name) + " not installed" : Cell("%s %.0f MB/s", name, mbps);
}

} // namespace

int main(int argc, char** argv) {
    PrepareBenchmarkProcess();
    const std::size_t megabytes = argc > 1 ? std::size_t(std::stoul(argv[1])) : 64;
    std::vector<std::uint8_t> bytes(megabytes * 1000 * 1000);
    std::mt19937 random(1236);
    for (auto& b : bytes) {
        b = std::uint8_t(random());
    }
    QTemporaryDir folder;
    const QString file = folder.filePath("bytes.bin");
    std::ofstream(file.toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));

    const double ours = OursMBps(bytes);
    const double basenc = ToolMBps("basenc", {"--base2msbf", "-w0"}, file, bytes.size());
    const double xxd = ToolMBps("xxd", {"-b"}, file, bytes.size());
    std::printf("Bytes to bit text, %zu MB of random bytes (MB of input per second):\n", megabytes);
    // The goal: no slower than the tools an operator would otherwise reach for.
    const bool met = ours > std::max(basenc, xxd);
    std::printf(
        "  ours, BitLine over 64 KiB blocks:   %8.0f MB/s   goal: faster than both peers: %s\n",
        ours, met ? "met" : "NOT MET");
    std::printf("  peer %-30s\n  peer %-30s\n", ToolCell("basenc --base2msbf -w0", basenc).c_str(),
                ToolCell("xxd -b", xxd).c_str());
    Report("Bytes to bit text", "faster than the peers", Cell("%.0f MB/s", ours),
           ToolCell("basenc", basenc) + ", " + ToolCell("xxd -b", xxd), met);
    return 0;
}
