#include "framework/Dialogs.h"

#include "framework/WidgetBridge.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <cmath>

using namespace widgetbridge;

std::function<bool(TCommonDialog&)> TCommonDialog::ScriptedAnswer;

bool TCommonDialog::Run(const std::function<bool()>& showDialog) {
    if (OnShow)
        OnShow(this);
    const bool result = ScriptedAnswer ? ScriptedAnswer(*this) : showDialog();
    if (OnClose)
        OnClose(this);
    return result;
}

std::vector<std::string> TOpenDialog::NameFilters() const {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= FFilter.size() && !FFilter.empty()) {
        const size_t bar = FFilter.find('|', start);
        parts.push_back(FFilter.substr(start, bar == std::string::npos ? bar : bar - start));
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    std::vector<std::string> filters;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        // Qt separates patterns by blanks where we use ';'.
        std::string pattern = parts[i + 1];
        for (char& c : pattern)
            if (c == ';')
                c = ' ';
        filters.push_back(parts[i] + " (" + pattern + ")");
    }
    return filters;
}

bool TOpenDialog::ExecuteFor(bool save) {
    return Run([this, save] {
        QFileDialog dialog(QApplication::activeWindow(), ToQString(FTitle), ToQString(FInitialDir));
        dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        if (save)
            dialog.setFileMode(QFileDialog::AnyFile);
        else
            dialog.setFileMode(FOptions.Contains(ofAllowMultiSelect) ? QFileDialog::ExistingFiles
                                                                     : QFileDialog::ExistingFile);
        if (!FOptions.Contains(ofOverwritePrompt))
            dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        QStringList filters;
        for (const auto& f : NameFilters())
            filters << ToQString(f);
        if (!filters.isEmpty()) {
            dialog.setNameFilters(filters);
            const int index = std::clamp(FFilterIndex, 1, static_cast<int>(filters.size()));
            dialog.selectNameFilter(filters[index - 1]);
        }
        if (!FDefaultExt.empty())
            dialog.setDefaultSuffix(ToQString(FDefaultExt));
        if (!FFileName.empty())
            dialog.selectFile(ToQString(FFileName));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return false;
        FFileName = FromQString(dialog.selectedFiles().first());
        const int chosen = static_cast<int>(filters.indexOf(dialog.selectedNameFilter()));
        if (chosen >= 0)
            FFilterIndex = chosen + 1;
        return true;
    });
}

bool TOpenDialog::Execute() {
    return ExecuteFor(false);
}

bool TSaveDialog::Execute() {
    return ExecuteFor(true);
}

TFontDialog::TFontDialog(TComponent* AOwner)
    : TCommonDialog(AOwner), FFont(std::make_unique<TFont>()) {}

bool TFontDialog::Execute() {
    return Run([this] {
        bool ok = false;
        const QFont chosen =
            QFontDialog::getFont(&ok, FFont->ToQFont(), QApplication::activeWindow());
        if (!ok)
            return false;
        FFont->SetName(FromQString(chosen.family()));
        if (chosen.pixelSize() > 0)
            FFont->SetHeight(-chosen.pixelSize());
        else
            FFont->SetSize(static_cast<int>(std::lround(chosen.pointSizeF())));
        TFontStyles style;
        if (chosen.bold())
            style.Include(fsBold);
        if (chosen.italic())
            style.Include(fsItalic);
        if (chosen.underline())
            style.Include(fsUnderline);
        if (chosen.strikeOut())
            style.Include(fsStrikeOut);
        FFont->SetStyle(style);
        return true;
    });
}

std::function<int(const std::string&, TMsgDlgButtons)> MessageDlgScriptedAnswer;

int MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons) {
    if (MessageDlgScriptedAnswer) {
        return MessageDlgScriptedAnswer(Msg, Buttons);
    }
    QMessageBox box(QApplication::activeWindow());
    box.setText(ToQString(Msg));
    switch (DlgType) {
    case mtWarning:
        box.setIcon(QMessageBox::Warning);
        break;
    case mtError:
        box.setIcon(QMessageBox::Critical);
        break;
    case mtInformation:
        box.setIcon(QMessageBox::Information);
        break;
    case mtConfirmation:
        box.setIcon(QMessageBox::Question);
        break;
    case mtCustom:
        break;
    }
    struct Choice {
        TMsgDlgBtn button;
        QMessageBox::StandardButton qt;
        int result;
    };
    static const Choice choices[] = {{mbYes, QMessageBox::Yes, mrYes},
                                     {mbNo, QMessageBox::No, mrNo},
                                     {mbOK, QMessageBox::Ok, mrOk},
                                     {mbCancel, QMessageBox::Cancel, mrCancel}};
    QMessageBox::StandardButtons buttons;
    for (const Choice& c : choices) {
        if (Buttons.Contains(c.button)) {
            buttons |= c.qt;
        }
    }
    box.setStandardButtons(buttons);
    const int answer = box.exec();
    for (const Choice& c : choices) {
        if (answer == c.qt) {
            return c.result;
        }
    }
    return Buttons.Contains(mbCancel) ? mrCancel : mrNone;
}
