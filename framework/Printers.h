#pragma once
// The printer: a print job on Qt's printer. Between BeginDoc and EndDoc, Canvas() is the
// painter for the current page, in device pixels (PageWidth x PageHeight at the printer's
// pixels per inch). SetOutputFileName sends the job to a PDF file instead of a printer.

#include "framework/Classes.h"
#include "framework/Exceptions.h"

#include <memory>
#include <string>

class QPainter;
class QPrinter;

class TPrinter : public TObject {
public:
    TPrinter();
    ~TPrinter() override;
    TPrinter(const TPrinter&) = delete;
    TPrinter& operator=(const TPrinter&) = delete;
    std::string ClassName() const override { return "TPrinter"; }

    const std::string& Title() const { return FTitle; }
    void SetTitle(const std::string& Value) { FTitle = Value; }
    // A PDF file to print to; empty prints to the system's printer.
    void SetOutputFileName(const std::string& FileName);
    const std::string& OutputFileName() const { return FOutputFileName; }

    // Raises EPrinter when a job is running already or the printer cannot start one.
    void BeginDoc();
    void EndDoc();
    void NewPage();
    void Abort();
    bool Printing() const { return FPrinting; }
    bool Aborted() const { return FAborted; }
    int PageNumber() const { return FPageNumber; }

    int PageWidth() const;
    int PageHeight() const;
    int PixelsPerInchX() const;
    int PixelsPerInchY() const;
    // The painter of the current page; null outside a job.
    QPainter* Canvas() const { return FPainter.get(); }
    QPrinter* Device() const { return FPrinter.get(); }

private:
    void CheckPrinting(bool Value) const;
    std::unique_ptr<QPrinter> FPrinter;
    std::unique_ptr<QPainter> FPainter;
    std::string FTitle;
    std::string FOutputFileName;
    bool FPrinting = false;
    bool FAborted = false;
    int FPageNumber = 0;
};

KELVOR_EXCEPTION(EPrinter, Exception);

// The program's printer, created on first use.
TPrinter* Printer();
