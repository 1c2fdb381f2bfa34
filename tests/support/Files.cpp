#include "tests/support/Files.h"

#include "tests/support/Program.h"

#include <QStandardPaths>
#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

int PdfPageCount(const std::string& path) {
    const std::string data = ReadFile(path);
    // "/Type /Page" names a page; "/Type /Pages" the tree above them.
    int count = 0;
    for (std::size_t at = data.find("/Type"); at != std::string::npos;
         at = data.find("/Type", at + 1)) {
        std::size_t name = at + 5;
        while (name < data.size() && std::isspace(static_cast<unsigned char>(data[name])))
            ++name;
        if (data.compare(name, 5, "/Page") == 0 &&
            (name + 5 >= data.size() || data[name + 5] != 's'))
            ++count;
    }
    return count;
}

bool PdfToTextAvailable() {
    return !QStandardPaths::findExecutable("pdftotext").isEmpty();
}

std::string PdfText(const std::string& path) {
    const ProgramRun run =
        RunProgram(QStandardPaths::findExecutable("pdftotext").toStdString(),
                   {"-enc", "UTF-8", QString::fromStdString(path), "-"});
    if (run.status != 0)
        throw std::runtime_error("pdftotext failed: " + run.err);
    return run.out;
}

} // namespace testsupport
