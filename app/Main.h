#pragma once
// The main window, built from its form data (MainForm.h).

#include "framework/Dialogs.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/StdCtrls.h"

class TForm1 : public TForm {
public:
    explicit TForm1(TComponent* AOwner);
    std::string ClassName() const override { return "TForm1"; }

    // Components of the window, bound by name when the form data is read.
    TOpenDialog* OpenDialog1 = nullptr;
    TEdit* IPAddr = nullptr;
    TEdit* IPPort = nullptr;
    TLabel* Label2 = nullptr;
    TLabel* Label3 = nullptr;
    TBevel* Bevel4 = nullptr;
    TButton* Button1 = nullptr;
    TLabel* Label7 = nullptr;
    TLabel* Label4 = nullptr;
    TMainMenu* MainMenu1 = nullptr;
    TMenuItem* SaveBitStream1 = nullptr;
    TFontDialog* FontDialog1 = nullptr;
    TSaveDialog* SaveDialog1 = nullptr;

    void FormCreate(TObject* Sender);
};

extern TForm1* Form1;
