#pragma once
// Unit Main: the monitor's one window. It is built from its form data (Form1.json, compiled in
// as a resource); its handlers connect to the station, show each block of bytes that arrives
// as one line of bits, report the connection in the status strip and the view, and save the
// view to a file.

#include "framework/Dialogs.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/StdCtrls.h"
#include "net/ScktComp.h"
#include "view/KelvorEdit20.h"

#include <chrono>
#include <cstdint>
#include <string>

class TForm1 : public TForm {
public:
    explicit TForm1(TComponent* AOwner);
    std::string ClassName() const override { return "TForm1"; }

    // Components of the window, bound by name when the form data is read.
    TOpenDialog* OpenDialog1 = nullptr;
    TClientSocket* ClientSocket1 = nullptr;
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
    TKelvorEdit20* KelvorEdit201 = nullptr;

    void FormCreate(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);
    void FormCloseQuery(TObject* Sender, bool& CanClose);
    void Button1Click(TObject* Sender);
    void ClientSocket1Connect(TObject* Sender, TCustomWinSocket* Socket);
    void ClientSocket1Disconnect(TObject* Sender, TCustomWinSocket* Socket);
    void ClientSocket1Error(TObject* Sender, TCustomWinSocket* Socket, TErrorEvent ErrorEvent,
                            int& ErrorCode);
    void ClientSocket1Read(TObject* Sender, TCustomWinSocket* Socket);
    void SaveBitStream1Click(TObject* Sender);

    // A save that takes longer than this shows its progress in the status strip.
    std::chrono::milliseconds SaveProgressDelay{300};

private:
    // The save command's work after the dialog; false when nothing was saved.
    bool SaveStream();
    std::string StationText() const; // "A / P" as the component holds them
    // Red strip, the button shown, and Line with the asterisks and an empty line after it.
    void ShowNotConnected(const std::string& Line);
};

extern TForm1* Form1;

// The one buffer every read event receives into.
inline constexpr int ReceiveBufferSize = 2048;
extern std::uint8_t ReceiveBuffer[ReceiveBufferSize];

// The line of "0"/"1" characters for bytes, eight per byte, most significant bit first.
std::string BitLine(const std::uint8_t* Bytes, int Count);

// The texts the window writes into the view.
inline constexpr const char* kAsteriskLine = "***************************************************";
