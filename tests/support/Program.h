#pragma once
// Running another program to its end, as a test does with our commands and outside tools.

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <chrono>
#include <string>

namespace testsupport {

struct ProgramRun {
    int status = -1; // -1: did not start, crashed or timed out
    std::string out, err;
};

struct ProgramOptions {
    QString workingDirectory; // empty: the test's own
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QString stdoutFile; // empty: standard output is collected in ProgramRun::out
    std::chrono::milliseconds limit{60000};
};

// Runs program with args and no input; a program still running at the limit is killed.
ProgramRun RunProgram(const std::string& program, const QStringList& args,
                      const ProgramOptions& options = {});

} // namespace testsupport
