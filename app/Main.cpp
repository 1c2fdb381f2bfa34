#include "app/Main.h"

#include "framework/Exceptions.h"
#include "framework/SysUtils.h"

#include <QFile>
#include <algorithm>
#include <array>
#include <cstring>

TForm1* Form1 = nullptr;
std::uint8_t ReceiveBuffer[ReceiveBufferSize];

// The resource is in a static library: it has to be named once to be linked in (at global
// scope, where Qt's macro declares its function).
static void InitFormResource() {
    Q_INIT_RESOURCE(Form1);
}

namespace {

// The form data, a resource compiled into the program (app/Form1.json).
std::string FormData() {
    InitFormResource();
    QFile file(":/app/Form1.json");
    if (!file.open(QIODevice::ReadOnly)) {
        throw Exception("Resource Form1.json not found");
    }
    return file.readAll().toStdString();
}

} // namespace

std::string BitLine(const std::uint8_t* Bytes, int Count) {
    // Eight characters per byte from a table: one copy per byte.
    static const auto table = [] {
        std::array<std::array<char, 8>, 256> bits{};
        for (int b = 0; b < 256; ++b) {
            for (int i = 0; i < 8; ++i) {
                bits[std::size_t(b)][std::size_t(i)] = (b >> (7 - i)) & 1 ? '1' : '0';
            }
        }
        return bits;
    }();
    std::string line(Count > 0 ? std::size_t(Count) * 8 : 0, '0');
    for (int i = 0; i < Count; ++i) {
        std::memcpy(&line[std::size_t(i) * 8], table[Bytes[i]].data(), 8);
    }
    return line;
}

TForm1::TForm1(TComponent* AOwner) : TForm(AOwner) {
    TFormBindings& b = Bindings();
    b.AddField("OpenDialog1", OpenDialog1);
    b.AddField("ClientSocket1", ClientSocket1);
    b.AddField("IPAddr", IPAddr);
    b.AddField("IPPort", IPPort);
    b.AddField("Label2", Label2);
    b.AddField("Label3", Label3);
    b.AddField("Bevel4", Bevel4);
    b.AddField("Button1", Button1);
    b.AddField("Label7", Label7);
    b.AddField("Label4", Label4);
    b.AddField("MainMenu1", MainMenu1);
    b.AddField("SaveBitStream1", SaveBitStream1);
    b.AddField("FontDialog1", FontDialog1);
    b.AddField("SaveDialog1", SaveDialog1);
    b.AddField("KelvorEdit201", KelvorEdit201);
    b.AddMethod<TNotifyEvent>("FormCreate", this, &TForm1::FormCreate);
    b.AddMethod<TCloseEvent>("FormClose", this, &TForm1::FormClose);
    b.AddMethod<TNotifyEvent>("Button1Click", this, &TForm1::Button1Click);
    b.AddMethod<TSocketNotifyEvent>("ClientSocket1Connect", this, &TForm1::ClientSocket1Connect);
    b.AddMethod<TSocketNotifyEvent>("ClientSocket1Disconnect", this,
                                    &TForm1::ClientSocket1Disconnect);
    b.AddMethod<TSocketNotifyEvent>("ClientSocket1Read", this, &TForm1::ClientSocket1Read);
    b.AddMethod<TSocketErrorEvent>("ClientSocket1Error", this, &TForm1::ClientSocket1Error);
    b.AddMethod<TNotifyEvent>("SaveBitStream1Click", this, &TForm1::SaveBitStream1Click);
    // Not in the form data: asking before a capture that was not saved is thrown away.
    OnCloseQuery = [this](TObject* Sender, bool& CanClose) { FormCloseQuery(Sender, CanClose); };
    ReadFormData(FormData());
}

std::string TForm1::StationText() const {
    return ClientSocket1->Address() + " / " + std::to_string(ClientSocket1->Port());
}

// --- connection ------------------------------------------------------------------------------

void TForm1::FormCreate(TObject*) {
    ClientSocket1->SetAddress(IPAddr->Text());
    ClientSocket1->SetPort(StrToInt(IPPort->Text()));
    Button1->Show();
    Label7->SetColor(clRed);
    // The save dialog asks before it replaces an existing capture.
    TOpenOptions options = SaveDialog1->Options();
    options.Include(ofOverwritePrompt);
    SaveDialog1->SetOptions(options);
}

void TForm1::Button1Click(TObject*) {
    ClientSocket1->SetAddress(IPAddr->Text());
    ClientSocket1->SetPort(StrToInt(IPPort->Text()));
    ClientSocket1->SetActive(true);
}

void TForm1::ClientSocket1Connect(TObject*, TCustomWinSocket*) {
    Label7->SetColor(TColor(32768));
    Button1->Hide();
    KelvorEdit201->Lines()->Add("Connected to " + StationText());
}

void TForm1::ClientSocket1Disconnect(TObject*, TCustomWinSocket*) {
    ShowNotConnected("Server at " + StationText() + " disconnected");
}

void TForm1::ShowNotConnected(const std::string& Line) {
    Label7->SetColor(TColor(255));
    Button1->Show();
    TMyStrings* lines = KelvorEdit201->Lines();
    lines->Add(Line);
    lines->Add(kAsteriskLine);
    lines->Add("");
}

void TForm1::ClientSocket1Error(TObject*, TCustomWinSocket* Socket, TErrorEvent ErrorEvent,
                                int& ErrorCode) {
    if (ErrorEvent == TErrorEvent::errConnect) {
        ShowNotConnected("Lost connection to server at " + StationText());
        Socket->CloseConnection(); // the disconnect handler adds its lines on the way
    } else if (ErrorEvent == TErrorEvent::errDisconnect) {
        // A connection the station reset is over: close it, so the operator sees the
        // disconnected lines and a red strip and can connect again.
        Socket->CloseConnection();
    }
    ErrorCode = 0;
}

void TForm1::ClientSocket1Read(TObject*, TCustomWinSocket* Socket) {
    const int count = Socket->ReceiveBytes(ReceiveBuffer, ReceiveBufferSize);
    KelvorEdit201->Lines()->Add(BitLine(ReceiveBuffer, count));
}

void TForm1::FormClose(TObject*, TCloseAction&) {
    ClientSocket1->Deactivate();
}

void TForm1::FormCloseQuery(TObject*, bool& CanClose) {
    if (KelvorEdit201->Lines()->Count() == 0) {
        return;
    }
    switch (MessageDlg("Save the bit stream before closing?", mtConfirmation,
                       TMsgDlgButtons{mbYes, mbNo, mbCancel})) {
    case mrYes:
        CanClose = SaveStream();
        break;
    case mrNo:
        break;
    default:
        CanClose = false;
        break;
    }
}

// --- saving ----------------------------------------------------------------------------------

void TForm1::SaveBitStream1Click(TObject*) {
    SaveStream();
}

bool TForm1::SaveStream() {
    SaveDialog1->SetFileName("stream file .txt");
    if (!SaveDialog1->Execute()) {
        return false;
    }
    // Saving and emptying run back to back, with no message handled in between: nothing
    // that arrives can fall between the file and the empty view. A long save shows its
    // progress in the status strip, painted directly for the same reason.
    TMyStrings* lines = KelvorEdit201->Lines();
    const auto started = std::chrono::steady_clock::now();
    // What the RTF will about weigh: the text, a few bytes per line, the header.
    const double expected = double(KelvorEdit201->TextLength()) + 8.0 * lines->Count() + 512.0;
    TRichEditProgressEvent chained = KelvorEdit201->OnSaveProgress;
    KelvorEdit201->OnSaveProgress = [&](TObject* Sender, int Pos, int Size) {
        if (std::chrono::steady_clock::now() - started >= SaveProgressDelay) {
            const int percent = std::min(99, int(100.0 * Pos / expected));
            Label7->SetCaption("Saving the bit stream: " + std::to_string(percent) + "%");
            Label7->Repaint();
        }
        if (chained) {
            chained(Sender, Pos, Size);
        }
    };
    const auto restore = [&] {
        KelvorEdit201->OnSaveProgress = chained;
        Label7->SetCaption("");
    };
    try {
        lines->SaveToFile(SaveDialog1->FileName());
    } catch (...) {
        restore();
        throw;
    }
    restore();
    lines->Clear();
    return true;
}
