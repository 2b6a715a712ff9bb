// A label that opens its URL: a web address, or a mail address when it holds "@".
#pragma once

#include "platform/Types.h"

#include <QLabel>

#include <string>

namespace quillet {

class THyperlinkLabel : public QLabel {
public:
    explicit THyperlinkLabel(QWidget* parent = nullptr);

    const std::string& URL() const { return FURL; }
    void SetURL(const std::string& url) { FURL = url; }
    bool Flat() const { return FFlat; }
    void SetFlat(bool on);
    TColor ActiveColor() const { return FActive; }
    void SetActiveColor(TColor c);
    TColor PassiveColor() const { return FPassive; }
    void SetPassiveColor(TColor c);
    // The colour it is painted in now: active while the mouse is over a flat label.
    TColor CurrentColor() const { return FFlat && FHover ? FActive : FPassive; }
    // What a click opens.
    std::string Target() const;

protected:
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    void UpdateColor();

    std::string FURL;
    bool FFlat = true;
    bool FHover = false;
    TColor FActive = 0xFF0000;  // blue
    TColor FPassive = 0x800000; // navy
};

// "mailto:" + url when it holds "@" anywhere, else "http://" + url.
std::string HyperlinkTarget(const std::string& url);
// Asks the desktop to open a location; when nothing there can open it, the user is told.
void OpenLink(const std::string& target);

} // namespace quillet
