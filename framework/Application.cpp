#include "framework/Application.h"

#include "platform/window/Window.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>

TApplication* Application = nullptr;
std::function<void(TComponent*)> ShowCreatedFormHook;

namespace {
int qtArgc = 1;
char qtArg0[] = "kelvor-monitor";
char* qtArgv[] = {qtArg0, nullptr};
} // namespace

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner) {
    if (!Application)
        Application = this;
}

TApplication::~TApplication() {
    DestroyComponents();
    SetUnhandledExceptionSink({});
    if (Application == this)
        Application = nullptr;
}

void TApplication::Initialize() {
    if (!QApplication::instance())
        FOwnedQtApp = std::make_unique<QApplication>(qtArgc, qtArgv);
    if (FTitle.empty())
        FTitle = QFileInfo(QApplication::applicationFilePath()).completeBaseName().toStdString();
    SetUnhandledExceptionSink(
        [this](std::exception_ptr error) { HandleException(this, std::move(error)); });
}

void TApplication::AfterCreateForm(TComponent* Form) {
    FreeNotification(Form);
    if (Form == FMainForm && ShowCreatedFormHook)
        ShowCreatedFormHook(Form);
}

void TApplication::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FMainForm)
        FMainForm = nullptr;
}

void TApplication::Run() {
    if (FTerminated || !FMainForm)
        return;
    QApplication::exec();
}

void TApplication::Terminate() {
    FTerminated = true;
    QApplication::exit(0);
}

void TApplication::ProcessMessages() {
    QApplication::processEvents();
}

std::string TApplication::ExceptionText(const std::exception& E) {
    std::string text = E.what();
    if (!text.empty() && text.back() != '.')
        text += '.';
    return text;
}

void TApplication::HandleException(TObject* Sender, std::exception_ptr Error) {
    try {
        std::rethrow_exception(std::move(Error));
    } catch (const EAbort&) {
        // The silent exception: unwinding was all it was for.
    } catch (const std::exception& e) {
        if (OnException)
            OnException(Sender, e);
        else
            ShowException(e);
    } catch (...) {
        const Exception unknown("Unknown exception");
        if (OnException)
            OnException(Sender, unknown);
        else
            ShowException(unknown);
    }
}

void TApplication::ShowException(const std::exception& E) {
    QMessageBox::critical(QApplication::activeWindow(), QString::fromStdString(FTitle),
                          QString::fromLocal8Bit(ExceptionText(E).c_str()));
}
