// A printer without a device: keeps every page's text runs and lines so tests can read them.
#pragma once

#include "platform/Printer.h"
#include "platform/headless/HeadlessFonts.h"

#include <string>
#include <vector>

namespace quillet {

// What was drawn on one page: text runs (cut to the clip, as paper would show them) and lines.
// Fills are not kept: on paper they only matter under text, and each run carries its
// background.
struct TPrintedItem {
    enum TKind : uint8_t { pkText, pkLine } Kind = pkText;
    int X = 0, Y = 0;   // text: top-left corner; line: start
    int X2 = 0, Y2 = 0; // line: end
    std::string Text;
    TFontStyles Style = 0;
    TColor Fore = clBlack;
    TColor Back = clNone; // clNone: transparent
};

using TPrintedPage = std::vector<TPrintedItem>;

class TRecordingCanvas : public ICanvas {
public:
    TRecordingCanvas(int width, int height) : FWidth(width), FHeight(height) {}
    TSize Size() const override { return {FWidth, FHeight}; }
    void FillRect(const TRect&, TColor) override {}
    void SetFont(const TFontHandle& font) override { FFont = font; }
    void TextOut(int x, int y, std::string_view utf8, TColor fore, TColor back,
                 const int* advances = nullptr) override;
    TSize TextExtent(std::string_view utf8) override;
    void Line(int x1, int y1, int x2, int y2, TColor color, TPenStyle style = psSolid) override;
    void XorLine(int, int, int, int) override {}
    void DrawImage(int, int, const TImage&, const TRect&) override {}
    void SetClip(const TRect& r) override { FClip = r; }
    void ResetClip() override { FClip = {0, 0, FWidth, FHeight}; }
    void Scroll(const TRect&, int, int) override {}

    // The page being drawn on; null between pages.
    TPrintedPage* Page = nullptr;

private:
    int FWidth, FHeight;
    TRect FClip{0, 0, FWidth, FHeight};
    TFontHandle FFont;
};

class TRecordingPrinter : public IPrinter {
public:
    // A page of width x height printer pixels; the printer's fonts are fixed-pitch cells of
    // cellWidth x lineHeight, unlike the screen's, so a test sees which metrics were used.
    explicit TRecordingPrinter(int width = 2550, int height = 3300, int cellWidth = 10,
                               int lineHeight = 20);

    std::string Name() const override { return "recording"; }
    TSize PageSize() const override { return {FWidth, FHeight}; }
    int Resolution() const override { return 300; }
    void BeginDoc(const std::string& title) override;
    void NewPage() override;
    void EndDoc() override;
    void Abort() override;
    bool Printing() const override { return FPrinting; }
    int PageNumber() const override { return FPrinting ? int(FPages.size()) : 0; }
    ICanvas& Canvas() override { return FCanvas; }
    IFonts& Fonts() override { return FFonts; }
    std::string ShortDate() const override;
    std::string ShortTime() const override;

    // A fixed stamp for the page headers (empty: the clock's).
    void SetStamp(std::string date, std::string time) {
        FDate = std::move(date);
        FTime = std::move(time);
    }
    // BeginDoc fails as a printer that is off would.
    void SetRefuse(bool refuse) { FRefuse = refuse; }
    // The page of the next document.
    void SetPageSize(int width, int height);

    // What tests read: the last document's title and pages, and how it ended.
    enum TJobState : uint8_t { jsNone, jsPrinting, jsEnded, jsAborted };
    TJobState State() const { return FState; }
    const std::string& Title() const { return FTitle; }
    const std::vector<TPrintedPage>& Pages() const { return FPages; }

private:
    int FWidth, FHeight;
    THeadlessFonts FFonts;
    TRecordingCanvas FCanvas;
    bool FPrinting = false;
    bool FRefuse = false;
    TJobState FState = jsNone;
    std::string FTitle;
    std::string FDate, FTime;
    std::vector<TPrintedPage> FPages;
};

} // namespace quillet
