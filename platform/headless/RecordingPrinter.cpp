#include "platform/headless/RecordingPrinter.h"

#include "resources/Strings.h"

#include <algorithm>
#include <ctime>

namespace quillet {

void TRecordingCanvas::TextOut(int x, int y, std::string_view utf8, TColor fore, TColor back,
                               const int* advances) {
    if (!Page || utf8.empty()) return;
    const int height = FFont ? FFont->Height() : 17;
    if (y + height <= FClip.Top || y >= FClip.Bottom) return;
    // Only the characters whose cells reach into the clip are on paper.
    TPrintedItem item;
    item.Kind = TPrintedItem::pkText;
    item.Y = y;
    item.Fore = fore;
    item.Back = back;
    item.Style = FFont ? FFont->Desc().Style : 0;
    int pen = x;
    bool first = true;
    size_t index = 0;
    for (size_t i = 0; i < utf8.size(); ++index) {
        size_t start = i;
        char32_t cp = DecodeUtf8(utf8, i);
        int step = advances ? advances[index] : FFont ? FFont->CharWidth(cp) : 7;
        if (pen + step > FClip.Left && pen < FClip.Right) {
            if (first) item.X = pen;
            first = false;
            item.Text.append(utf8.substr(start, i - start));
        }
        pen += step;
    }
    if (!first) Page->push_back(std::move(item));
}

TSize TRecordingCanvas::TextExtent(std::string_view utf8) {
    if (!FFont) return {int(utf8.size()) * 7, 17};
    return {FFont->TextWidth(utf8), FFont->Height()};
}

void TRecordingCanvas::Line(int x1, int y1, int x2, int y2, TColor color, TPenStyle) {
    if (!Page) return;
    TPrintedItem item;
    item.Kind = TPrintedItem::pkLine;
    item.X = x1;
    item.Y = y1;
    item.X2 = x2;
    item.Y2 = y2;
    item.Fore = color;
    Page->push_back(std::move(item));
}

TRecordingPrinter::TRecordingPrinter(int width, int height, int cellWidth, int lineHeight)
    : FWidth(width), FHeight(height), FFonts(true, cellWidth, lineHeight), FCanvas(width, height) {}

void TRecordingPrinter::SetPageSize(int width, int height) {
    if (FPrinting) return;
    FWidth = width;
    FHeight = height;
    FCanvas = TRecordingCanvas(width, height);
}

void TRecordingPrinter::BeginDoc(const std::string& title) {
    if (FPrinting) throw EPrinter(FmtLoadStr(SPrintCannotStart, Name()));
    FPages.clear();
    FTitle = title;
    FState = jsNone;
    if (FRefuse) throw EPrinter(FmtLoadStr(SPrintCannotStart, Name()));
    FPages.emplace_back();
    FCanvas.Page = &FPages.back();
    FCanvas.ResetClip();
    FTitle = title;
    FPrinting = true;
    FState = jsPrinting;
}

void TRecordingPrinter::NewPage() {
    if (!FPrinting) return;
    FPages.emplace_back();
    FCanvas.Page = &FPages.back();
    FCanvas.ResetClip();
}

void TRecordingPrinter::EndDoc() {
    if (!FPrinting) return;
    FPrinting = false;
    FCanvas.Page = nullptr;
    FState = jsEnded;
}

void TRecordingPrinter::Abort() {
    if (!FPrinting) return;
    FPrinting = false;
    FCanvas.Page = nullptr;
    FState = jsAborted;
}

namespace {
std::string Now(const char* format) {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char buf[64];
    size_t n = std::strftime(buf, sizeof buf, format, &local);
    return std::string(buf, n);
}
} // namespace

std::string TRecordingPrinter::ShortDate() const {
    return FDate.empty() ? Now("%d.%m.%Y") : FDate;
}

std::string TRecordingPrinter::ShortTime() const {
    return FTime.empty() ? Now("%H:%M") : FTime;
}

} // namespace quillet
