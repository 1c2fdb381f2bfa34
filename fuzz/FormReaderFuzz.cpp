// Fuzz target for the form-data reader: any text read into a form either builds it or fails
// with an EReadError (or a class of it), never another exception, a crash or undefined
// behaviour. A failed read leaves no component of its own behind.
//
// Run: fuzz_form_reader -dict=fuzz/form_reader.dict -max_total_time=60 fuzz/corpus/form_reader

#include "framework/Exceptions.h"
#include "framework/FormReader.h"
#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/StdCtrls.h"

#include <QApplication>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

class TFuzzForm : public TForm {
public:
    explicit TFuzzForm(TComponent* owner) : TForm(owner) {
        Bindings().AddHandler<TNotifyEvent>("FormCreate", [](TObject*) {});
        Bindings().AddHandler<TNotifyEvent>("Button1Click", [](TObject*) {});
        Bindings().AddField("Edit1", Edit1);
        Bindings().AddField("MainMenu1", MainMenu1);
    }
    std::string ClassName() const override { return "TFuzzForm"; }
    using TForm::Bindings;

    TEdit* Edit1 = nullptr;
    TMainMenu* MainMenu1 = nullptr;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string json(reinterpret_cast<const char*>(data), size);
    auto form = std::make_unique<TFuzzForm>(nullptr);
    try {
        ReadComponentData(form.get(), json, &form->Bindings());
    } catch (const EReadError&) {
        if (form->ComponentCount() != 0 || form->Edit1 || form->MainMenu1) {
            std::abort(); // a failed read takes back what it made
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "not a read error: %s\n", e.what());
        std::abort(); // every failure is a read error
    }
    return 0;
}
