// The printer on Qt: the system's default printer through QPrinter, or a PDF file.
#pragma once

#include "platform/Printer.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <array>
#include <memory>
#include <string>

class QPrinter;

namespace quillet {

// A font measured on the printer: the screen's pixel heights become points (96 to the inch),
// so the paper shows the text at the size the screen does.
class TQtPrinterFont : public IFont {
public:
    TQtPrinterFont(const TFontDesc& desc, QPaintDevice* device);
    const TFontDesc& Desc() const override { return FDesc; }
    int Height() const override { return FMetrics.height(); }
    int Ascent() const override { return FMetrics.ascent(); }
    int Descent() const override { return FMetrics.descent(); }
    int AverageCharWidth() const override { return FMetrics.averageCharWidth(); }
    int MaxCharWidth() const override { return FMetrics.maxWidth(); }
    int CharWidth(char32_t codePoint) const override;
    int TextWidth(std::string_view utf8) const override;
    const QFont& Font() const { return FFont; }
    const QFontMetrics& Metrics() const { return FMetrics; }
    // The font's own advance of a text, unrounded.
    qreal NaturalWidth(std::string_view utf8, const QString& text) const;

private:
    TFontDesc FDesc;
    QFont FFont;
    QFontMetrics FMetrics;
    QFontMetricsF FMetricsF;
    std::array<int, 128> FAscii{};
    std::array<qreal, 128> FAsciiF{};
};

// Draws through the painter that is open on the printer.
class TQtPrinterCanvas : public ICanvas {
public:
    explicit TQtPrinterCanvas(QPainter& painter) : FPainter(painter) {}
    // A new document: the painter starts over with its own font.
    void Restart(TSize size) {
        FSize = size;
        FFont = nullptr;
        FQtFont = nullptr;
    }
    TSize Size() const override { return FSize; }
    void FillRect(const TRect& r, TColor color) override;
    void SetFont(const TFontHandle& font) override;
    void TextOut(int x, int y, std::string_view utf8, TColor fore, TColor back,
                 const int* advances = nullptr) override;
    TSize TextExtent(std::string_view utf8) override;
    void Line(int x1, int y1, int x2, int y2, TColor color, TPenStyle style = psSolid) override;
    void XorLine(int, int, int, int) override {} // paper cannot be inverted
    void DrawImage(int x, int y, const TImage& image, const TRect& source) override;
    void SetClip(const TRect& r) override;
    void ResetClip() override;
    void Scroll(const TRect&, int, int) override {}

private:
    QPainter& FPainter;
    TSize FSize;
    TFontHandle FFont;
    const TQtPrinterFont* FQtFont = nullptr;
};

class TQtPrinter : public IPrinter {
public:
    // The default printer; a PDF file when the system has none or QUILLET_PRINT_TO names one
    // (without it, a file named after the job in the documents folder).
    TQtPrinter();
    // A PDF file.
    explicit TQtPrinter(const std::string& pdfFile);
    // A printer set up elsewhere (a print dialog, a preview); it must outlive this object.
    explicit TQtPrinter(QPrinter& printer);
    ~TQtPrinter() override;

    std::string Name() const override;
    TSize PageSize() const override;
    int Resolution() const override;
    void BeginDoc(const std::string& title) override;
    void NewPage() override;
    void EndDoc() override;
    void Abort() override;
    bool Printing() const override { return FPainter.isActive(); }
    int PageNumber() const override { return Printing() ? FPage : 0; }
    ICanvas& Canvas() override { return FCanvas; }
    IFonts& Fonts() override { return FFonts; }
    std::string ShortDate() const override;
    std::string ShortTime() const override;

private:
    class TFonts : public IFonts {
    public:
        explicit TFonts(TQtPrinter& owner) : FOwner(owner) {}
        TFontHandle CreateFont(const TFontDesc& desc) override;

    private:
        TQtPrinter& FOwner;
    };
    // The QPrinter, made on first use (asking the system for its printers takes a while).
    QPrinter& Device() const;

    mutable std::unique_ptr<QPrinter> FOwn;
    QPrinter* FExternal = nullptr;
    std::string FPdfFile;         // the file asked for; empty: the default printer
    mutable bool FToFile = false; // the default printer turned out to be a file
    QPainter FPainter;
    TQtPrinterCanvas FCanvas{FPainter};
    TFonts FFonts{*this};
    int FPage = 0;
};

} // namespace quillet
