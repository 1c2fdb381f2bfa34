#pragma once
// A rich text control on a form, as the main window holds its view: 700 x 170 pixels, its
// window created. Tests reach the platform control's state only through messages, as the
// control does.

#include "framework/Forms.h"
#include "richedit/RichEdit2.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <memory>

class RichEditControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        form_ = std::make_unique<TForm>(nullptr);
        form_->SetBounds(0, 0, 740, 260);
        edit_ = new TRichEdit20(form_.get());
        edit_->SetParent(form_.get());
        edit_->SetBounds(8, 44, 700, 170);
        edit_->HandleNeeded();
    }
    void TearDown() override { form_.reset(); }

    HWND Window() { return edit_->Handle(); }
    LRESULT Send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
        return SendMessage(edit_->Handle(), msg, wParam, lParam);
    }
    // The platform control's text, unconverted (CR between paragraphs).
    std::u16string WindowText() { return edit_->WideText(); }
    static void Pump() {
        for (int i = 0; i < 5; ++i) {
            QApplication::processEvents();
        }
    }

    std::unique_ptr<TForm> form_;
    TRichEdit20* edit_ = nullptr; // owned by the form
};
