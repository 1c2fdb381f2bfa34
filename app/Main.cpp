#include "app/Main.h"

#include "framework/Application.h"

#include <QCloseEvent>
#include <QWidget>

TForm1* Form1 = nullptr;

namespace {

// Ends the application when the window is closed, as the main window does.
class MainWindowWidget : public QWidget {
protected:
    void closeEvent(QCloseEvent* event) override {
        event->accept();
        if (Application)
            Application->Terminate();
    }
};

} // namespace

TForm1::TForm1(TComponent* AOwner)
    : TComponent(AOwner), FWindow(std::make_unique<MainWindowWidget>()) {
    SetName("Form1");
    FWindow->setWindowTitle("Bitstream output view.");
    FWindow->resize(727, 290);
    FWindow->show();
}

TForm1::~TForm1() = default;
