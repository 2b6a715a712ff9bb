#include "platform/qt/QtPrinter.h"

#include "platform/headless/HeadlessFonts.h"
#include "platform/qt/QtConvert.h"
#include "platform/qt/QtFonts.h"
#include "resources/Strings.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>
#include <QTime>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace quillet {

TQtPrinterFont::TQtPrinterFont(const TFontDesc& desc, QPaintDevice* device)
    : FDesc(desc), FFont(MakeQFont(desc), device), FMetrics(FFont, device),
      FMetricsF(FFont, device) {
    if (desc.Height < 0) {
        FFont.setPointSizeF(-desc.Height * 72.0 / 96.0);
        FMetrics = QFontMetrics(FFont, device);
        FMetricsF = QFontMetricsF(FFont, device);
    }
    for (int c = 0; c < 128; ++c) {
        FAscii[size_t(c)] = FMetrics.horizontalAdvance(QChar(c));
        FAsciiF[size_t(c)] = FMetricsF.horizontalAdvance(QChar(c));
    }
}

qreal TQtPrinterFont::NaturalWidth(std::string_view utf8, const QString& text) const {
    qreal width = 0;
    for (char c : utf8) {
        if (static_cast<unsigned char>(c) >= 128) return FMetricsF.horizontalAdvance(text);
        width += FAsciiF[size_t(c)];
    }
    return width;
}

int TQtPrinterFont::CharWidth(char32_t cp) const {
    if (cp < 128) return FAscii[cp];
    return FMetrics.horizontalAdvance(QString::fromUcs4(&cp, 1));
}

int TQtPrinterFont::TextWidth(std::string_view utf8) const {
    int width = 0;
    for (char c : utf8) {
        if (static_cast<unsigned char>(c) >= 128)
            return FMetrics.horizontalAdvance(ToQString(utf8));
        width += FAscii[size_t(c)];
    }
    return width;
}

void TQtPrinterCanvas::FillRect(const TRect& r, TColor color) {
    if (r.IsEmpty() || color == clNone) return;
    FPainter.fillRect(ToQRect(r), ToQColor(color));
}

void TQtPrinterCanvas::SetFont(const TFontHandle& font) {
    if (font == FFont) return;
    FFont = font;
    FQtFont = dynamic_cast<const TQtPrinterFont*>(font.get());
    if (FQtFont) FPainter.setFont(FQtFont->Font());
}

void TQtPrinterCanvas::TextOut(int x, int y, std::string_view utf8, TColor fore, TColor back,
                               const int* advances) {
    if (utf8.empty()) return;
    std::optional<QFontMetrics> own;
    if (!FQtFont) own.emplace(FPainter.fontMetrics());
    const QFontMetrics& metrics = FQtFont ? FQtFont->Metrics() : *own;
    QString text = ToQString(utf8);
    int width = 0;
    if (advances) {
        size_t count = 0;
        for (size_t i = 0; i < utf8.size(); ++count) {
            DecodeUtf8(utf8, i);
            width += advances[count];
        }
    } else {
        width = metrics.horizontalAdvance(text);
    }
    if (back != clNone) FPainter.fillRect(QRect(x, y, width, metrics.height()), ToQColor(back));
    FPainter.setPen(ToQColor(fore));
    const int baseline = y + metrics.ascent();
    // The run is one piece of text on paper (so it reads back as text); when the font's own
    // advances miss the grid a little, the run is stretched onto it.
    qreal natural = FQtFont
                        ? FQtFont->NaturalWidth(utf8, text)
                        : QFontMetricsF(FPainter.font(), FPainter.device()).horizontalAdvance(text);
    if (advances && natural > 0 && std::abs(natural - width) > 0.5) {
        FPainter.save();
        FPainter.translate(x, baseline);
        FPainter.scale(width / natural, 1.0);
        FPainter.drawText(QPointF(0, 0), text);
        FPainter.restore();
    } else {
        FPainter.drawText(QPointF(x, baseline), text);
    }
}

TSize TQtPrinterCanvas::TextExtent(std::string_view utf8) {
    if (FFont) return {FFont->TextWidth(utf8), FFont->Height()};
    QFontMetrics metrics = FPainter.fontMetrics();
    return {metrics.horizontalAdvance(ToQString(utf8)), metrics.height()};
}

void TQtPrinterCanvas::Line(int x1, int y1, int x2, int y2, TColor color, TPenStyle style) {
    // A rule a third of a point wide, whatever the resolution.
    QPaintDevice* device = FPainter.device();
    int width = device ? std::max(1, device->logicalDpiX() / 216) : 1;
    QPen pen(ToQColor(color), width, style == psDot ? Qt::DotLine : Qt::SolidLine);
    FPainter.setPen(pen);
    FPainter.drawLine(x1, y1, x2, y2);
}

void TQtPrinterCanvas::DrawImage(int x, int y, const TImage& image, const TRect& source) {
    if (image.Width <= 0 || image.Height <= 0 ||
        image.Pixels.size() < size_t(image.Width) * size_t(image.Height))
        return;
    QImage view(reinterpret_cast<const uchar*>(image.Pixels.data()), image.Width, image.Height,
                image.Width * 4, QImage::Format_ARGB32);
    FPainter.drawImage(QPoint(x, y), view, ToQRect(source));
}

void TQtPrinterCanvas::SetClip(const TRect& r) {
    FPainter.setClipRect(ToQRect(r));
}

void TQtPrinterCanvas::ResetClip() {
    FPainter.setClipping(false);
}

TQtPrinter::TQtPrinter() = default;

TQtPrinter::TQtPrinter(const std::string& pdfFile) : FPdfFile(pdfFile) {}

TQtPrinter::TQtPrinter(QPrinter& printer) : FExternal(&printer) {}

TQtPrinter::~TQtPrinter() {
    if (FPainter.isActive()) FPainter.end();
}

QPrinter& TQtPrinter::Device() const {
    if (FExternal) return *FExternal;
    if (!FOwn) {
        FOwn = std::make_unique<QPrinter>(QPrinter::HighResolution);
        std::string file = FPdfFile;
        if (file.empty()) {
            const char* to = std::getenv("QUILLET_PRINT_TO");
            if (to && *to) file = to;
        }
        if (file.empty() && QPrinterInfo::defaultPrinter().isNull()) FToFile = true;
        if (!file.empty()) {
            FOwn->setOutputFormat(QPrinter::PdfFormat);
            FOwn->setOutputFileName(ToQString(file));
        } else if (FToFile) {
            FOwn->setOutputFormat(QPrinter::PdfFormat);
        }
    }
    return *FOwn;
}

std::string TQtPrinter::Name() const {
    QPrinter& p = Device();
    if (p.outputFormat() == QPrinter::PdfFormat) return FromQString(p.outputFileName());
    return FromQString(p.printerName());
}

TSize TQtPrinter::PageSize() const {
    QPrinter& p = Device();
    QRect r = p.pageLayout().paintRectPixels(p.resolution());
    return {r.width(), r.height()};
}

int TQtPrinter::Resolution() const {
    return Device().resolution();
}

void TQtPrinter::BeginDoc(const std::string& title) {
    QPrinter& p = Device();
    if (FPainter.isActive()) throw EPrinter(FmtLoadStr(SPrintCannotStart, Name()));
    p.setDocName(ToQString(title));
    if (FToFile && FPdfFile.empty()) {
        // No printer: the document goes to a PDF named after it in the documents folder.
        QString base = QFileInfo(ToQString(title)).completeBaseName();
        if (base.isEmpty()) base = QStringLiteral("quillet");
        QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (folder.isEmpty()) folder = QDir::homePath();
        QDir().mkpath(folder);
        p.setOutputFileName(QDir(folder).filePath(base + QStringLiteral(".pdf")));
    }
    if (!FPainter.begin(&p)) throw EPrinter(FmtLoadStr(SPrintCannotStart, Name()));
    FCanvas.Restart(PageSize());
    FPage = 1;
}

void TQtPrinter::NewPage() {
    if (!FPainter.isActive()) return;
    FPainter.setClipping(false);
    Device().newPage();
    ++FPage;
}

void TQtPrinter::EndDoc() {
    if (FPainter.isActive()) FPainter.end();
    FPage = 0;
}

void TQtPrinter::Abort() {
    if (!FPainter.isActive()) return;
    Device().abort();
    FPainter.end();
    FPage = 0;
}

std::string TQtPrinter::ShortDate() const {
    return FromQString(QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat));
}

std::string TQtPrinter::ShortTime() const {
    return FromQString(QLocale::system().toString(QTime::currentTime(), QLocale::ShortFormat));
}

TFontHandle TQtPrinter::TFonts::CreateFont(const TFontDesc& desc) {
    return std::make_shared<TQtPrinterFont>(desc, &FOwner.Device());
}

} // namespace quillet
