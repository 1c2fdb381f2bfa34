#include "capture/Export.h"

#include "app/Main.h"
#include "capture/Progress.h"
#include "capture/Recording.h"
#include "framework/Application.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace capture {

namespace {

std::string Percent(std::uint64_t done, std::uint64_t total) {
    return std::to_string(total ? done * 100 / total : 100) + "%";
}

// Walks the recording's events in order with their bytes, showing how far it got.
template <typename OnLine>
void ForEachLine(const RecordingReader& reader, ProgressLine& progress, const std::string& what,
                 OnLine onLine) {
    RecordingBytes bytes(reader);
    std::vector<std::uint8_t> buffer;
    const auto& events = reader.Events();
    for (std::size_t i = 0; i < events.size(); ++i) {
        const ReadEvent& e = events[i];
        if (e.length > INT_MAX / 8)
            throw RecordingError("event " + std::to_string(i) + " of " + std::to_string(e.length) +
                                 " bytes is too long for a line");
        buffer.resize(std::max<std::size_t>(buffer.size(), e.length));
        bytes.Read(buffer.data(), e.length);
        onLine(BitLine(buffer.data(), static_cast<int>(e.length)));
        if ((i & 255) == 0 && progress.Due())
            progress.Show(what + " " + Percent(i, events.size()) + " (" + std::to_string(i) +
                          " of " + std::to_string(events.size()) + " lines)");
    }
}

void WriteText(const RecordingReader& reader, const std::string& file, ProgressLine& progress) {
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (!out)
        throw RecordingError(file + ": " + std::strerror(errno));
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(out, std::fclose);
    std::setvbuf(out, nullptr, _IOFBF, 1 << 20);
    ForEachLine(reader, progress, "writing", [&](const std::string& line) {
        if (std::fwrite(line.data(), 1, line.size(), out) != line.size() ||
            std::fputc('\n', out) == EOF)
            throw RecordingError(file + ": " + std::strerror(errno));
    });
    if (std::fclose(closer.release()) != 0)
        throw RecordingError(file + ": " + std::strerror(errno));
}

// Through the monitor's own window: its view, as the form data makes it, gets one line per
// event through its line list, and the line list's save writes the file, exactly as the
// monitor's "Save Bit Stream" does. The window is never shown and never connects.
void WriteRtf(const RecordingReader& reader, const std::string& file, ProgressLine& progress) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TApplication application;
    application.Initialize();
    const auto form = std::make_unique<TForm1>(nullptr);
    TKelvorEdit20* view = form->KelvorEdit201;
    TMyStrings* lines = view->Lines();
    ForEachLine(reader, progress, "reading", [&](const std::string& line) { lines->Add(line); });
    const double expected = double(view->TextLength()) + 8.0 * lines->Count() + 512.0;
    view->OnSaveProgress = [&](TObject*, int pos, int) {
        if (progress.Due())
            progress.Show("saving " + Percent(std::min<std::uint64_t>(std::uint64_t(pos),
                                                                      std::uint64_t(expected)),
                                              std::uint64_t(expected)));
    };
    lines->SaveToFile(file);
}

} // namespace

int Export(const ExportOptions& options) {
    const RecordingReader reader(options.name); // refuses a damaged recording before writing
    if (!options.force && FileExists(options.file))
        throw RecordingError(options.file + " exists; not replacing it (--force would)");
    // Written beside the target and renamed into place when complete: a failure leaves neither
    // a half-written export nor a damaged earlier file.
    const std::string partial = options.file + "." + std::to_string(::getpid()) + ".partial";
    ProgressLine progress;
    try {
        if (options.format == ExportFormat::Text)
            WriteText(reader, partial, progress);
        else
            WriteRtf(reader, partial, progress);
        const unsigned flags = options.force ? 0 : RENAME_NOREPLACE;
        if (::renameat2(AT_FDCWD, partial.c_str(), AT_FDCWD, options.file.c_str(), flags) != 0)
            throw RecordingError(options.file + ": " + std::strerror(errno));
    } catch (...) {
        progress.Finish();
        ::unlink(partial.c_str());
        throw;
    }
    progress.Finish();
    std::fprintf(stderr, "%s: %zu lines written to %s\n", options.name.c_str(),
                 reader.Events().size(), options.file.c_str());
    return 0;
}

} // namespace capture
