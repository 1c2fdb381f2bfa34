#include "tests/support/LibreOffice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace testsupport {

bool LibreOfficeAvailable() {
    return !QStandardPaths::findExecutable("soffice").isEmpty();
}

std::string LibreOfficeText(const std::string& path) {
    QTemporaryDir dir;
    if (!dir.isValid()) {
        throw std::runtime_error("no temporary folder for LibreOffice");
    }
    // A profile of its own, so runs never meet a locked or half-written one; the reader is
    // told the content is rich text, since a name may end in .txt.
    QProcess process;
    process.start(QStandardPaths::findExecutable("soffice"),
                  {"-env:UserInstallation=file://" + dir.filePath("profile"), "--headless",
                   "--infilter=Rich Text Format", "--convert-to", "txt:Text (encoded):UTF8",
                   "--outdir", dir.filePath("out"), QString::fromStdString(path)});
    if (!process.waitForFinished(120000)) {
        throw std::runtime_error("LibreOffice did not finish within two minutes");
    }
    QFile output(
        dir.filePath("out/" + QFileInfo(QString::fromStdString(path)).completeBaseName() + ".txt"));
    if (!output.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("LibreOffice wrote nothing: " +
                                 process.readAllStandardError().toStdString());
    }
    QString text = QString::fromUtf8(output.readAll());
    if (text.startsWith(QChar(0xFEFF))) {
        text.remove(0, 1);
    }
    text.replace("\r\n", "\n");
    return text.toStdString();
}

} // namespace testsupport
