#include "app/Main.h"

#include "app/MainForm.h"

TForm1* Form1 = nullptr;

TForm1::TForm1(TComponent* AOwner) : TForm(AOwner) {
    TFormBindings& b = Bindings();
    b.AddField("OpenDialog1", OpenDialog1);
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
    b.AddMethod<TNotifyEvent>("FormCreate", this, &TForm1::FormCreate);
    ReadFormData(kForm1FormData);
}

void TForm1::FormCreate(TObject*) {
    // The connect button starts hidden in the form data; the strip shows "not connected".
    Button1->Show();
    Label7->SetColor(clRed);
}
