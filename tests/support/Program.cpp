#include "tests/support/Program.h"

#include <QProcess>

namespace testsupport {

ProgramRun RunProgram(const std::string& program, const QStringList& args,
                      const ProgramOptions& options) {
    QProcess process;
    process.setProcessEnvironment(options.environment);
    if (!options.workingDirectory.isEmpty())
        process.setWorkingDirectory(options.workingDirectory);
    if (!options.stdoutFile.isEmpty())
        process.setStandardOutputFile(options.stdoutFile);
    process.start(QString::fromStdString(program), args);
    ProgramRun run;
    if (!process.waitForStarted(10000)) {
        run.err = "could not start " + program;
        return run;
    }
    process.closeWriteChannel();
    if (!process.waitForFinished(int(options.limit.count()))) {
        process.kill();
        process.waitForFinished();
        run.err = program + " did not finish in time";
        return run;
    }
    if (process.exitStatus() == QProcess::NormalExit)
        run.status = process.exitCode();
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

} // namespace testsupport
