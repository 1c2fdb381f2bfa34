#pragma once
// The main window. Until the monitor's own window is built on the form classes, this is a
// plain framework window with the monitor's caption.

#include "framework/Classes.h"

#include <memory>

class QWidget;

class TForm1 : public TComponent {
public:
    explicit TForm1(TComponent* AOwner);
    ~TForm1() override;
    std::string ClassName() const override { return "TForm1"; }

private:
    std::unique_ptr<QWidget> FWindow;
};

extern TForm1* Form1;
