#pragma once
// The application object: owns the forms, runs the message loop until the main form closes,
// and is the central handler for exceptions that leave event handlers and window procedures.

#include "framework/Classes.h"
#include "framework/Exceptions.h"

#include <exception>
#include <functional>
#include <memory>
#include <string>

class QApplication;

// (Sender, E): called instead of the message box when set; tests install a recorder here.
using TExceptionEvent = std::function<void(TObject* Sender, const std::exception& E)>;

class TApplication : public TComponent {
public:
    explicit TApplication(TComponent* AOwner = nullptr);
    ~TApplication() override;
    std::string ClassName() const override { return "TApplication"; }

    // Makes sure a Qt application exists and installs the central exception handler.
    void Initialize();

    // Creates a form owned by the application into Reference; the first becomes the main form.
    template <class TFormClass> void CreateForm(TFormClass*& Reference) {
        Reference = new TFormClass(this);
        if (!FMainForm)
            FMainForm = Reference;
        AfterCreateForm(Reference);
    }
    TComponent* MainForm() const { return FMainForm; }
    void SetMainForm(TComponent* Form) { FMainForm = Form; }

    // Runs the message loop until Terminate (the main form calls it when it closes).
    void Run();
    void Terminate();
    bool Terminated() const { return FTerminated; }
    // Handles what is waiting in the queue and returns.
    void ProcessMessages();

    // The central handler: EAbort is ignored; otherwise OnException when set, else a message box.
    void HandleException(TObject* Sender, std::exception_ptr Error);
    void ShowException(const std::exception& E);
    // Text shown for an exception: its message, with a full stop added unless it ends in one.
    static std::string ExceptionText(const std::exception& E);

    const std::string& Title() const { return FTitle; }
    void SetTitle(const std::string& Value) { FTitle = Value; }

    TExceptionEvent OnException;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    // Shows the main form once it is created (forms provide this through a hook).
    void AfterCreateForm(TComponent* Form);

    std::unique_ptr<QApplication> FOwnedQtApp;
    TComponent* FMainForm = nullptr;
    bool FTerminated = false;
    std::string FTitle;
};

// The program's application object.
extern TApplication* Application;

// Set by the form class: how to show a form that the application created (kept as a hook so
// the application does not depend on the controls).
extern std::function<void(TComponent*)> ShowCreatedFormHook;
