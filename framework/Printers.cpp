#include "framework/Printers.h"

#include "framework/WidgetBridge.h"

#include <QPainter>
#include <QPrinter>

TPrinter::TPrinter() : FPrinter(std::make_unique<QPrinter>(QPrinter::HighResolution)) {}

TPrinter::~TPrinter() {
    if (FPrinting)
        Abort();
}

void TPrinter::CheckPrinting(bool Value) const {
    if (FPrinting != Value)
        throw EPrinter(Value ? "Printer is not currently printing" : "Printing in progress");
}

void TPrinter::SetOutputFileName(const std::string& FileName) {
    CheckPrinting(false);
    FOutputFileName = FileName;
    FPrinter->setOutputFormat(FileName.empty() ? QPrinter::NativeFormat : QPrinter::PdfFormat);
    FPrinter->setOutputFileName(QString::fromLocal8Bit(FileName.c_str()));
}

void TPrinter::BeginDoc() {
    CheckPrinting(false);
    FPrinter->setDocName(widgetbridge::ToQString(FTitle));
    FPainter = std::make_unique<QPainter>();
    if (!FPainter->begin(FPrinter.get())) {
        FPainter.reset();
        throw EPrinter("Printer selected is not valid");
    }
    FPrinting = true;
    FAborted = false;
    FPageNumber = 1;
}

void TPrinter::EndDoc() {
    CheckPrinting(true);
    FPainter->end();
    FPainter.reset();
    FPrinting = false;
}

void TPrinter::NewPage() {
    CheckPrinting(true);
    FPrinter->newPage();
    ++FPageNumber;
}

void TPrinter::Abort() {
    CheckPrinting(true);
    FPrinter->abort();
    FPainter->end();
    FPainter.reset();
    FPrinting = false;
    FAborted = true;
}

int TPrinter::PageWidth() const {
    return FPrinter->pageLayout().paintRectPixels(FPrinter->resolution()).width();
}

int TPrinter::PageHeight() const {
    return FPrinter->pageLayout().paintRectPixels(FPrinter->resolution()).height();
}

int TPrinter::PixelsPerInchX() const {
    return FPrinter->logicalDpiX();
}

int TPrinter::PixelsPerInchY() const {
    return FPrinter->logicalDpiY();
}

TPrinter* Printer() {
    // Never freed: a Qt printer must not be torn down after the Qt application at exit.
    static TPrinter* printer = new TPrinter;
    return printer;
}
