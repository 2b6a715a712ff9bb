#include "widgets/HyperlinkLabel.h"

#include "platform/Platform.h"
#include "resources/Strings.h"

#include <QMouseEvent>

namespace quillet {

std::string HyperlinkTarget(const std::string& url) {
    return (url.find('@') != std::string::npos ? "mailto:" : "http://") + url;
}

THyperlinkLabel::THyperlinkLabel(QWidget* parent) : QLabel(parent) {
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    setCursor(Qt::PointingHandCursor);
    UpdateColor();
}

void THyperlinkLabel::SetFlat(bool on) {
    FFlat = on;
    UpdateColor();
}

void THyperlinkLabel::SetActiveColor(TColor c) {
    FActive = c;
    UpdateColor();
}

void THyperlinkLabel::SetPassiveColor(TColor c) {
    FPassive = c;
    UpdateColor();
}

void OpenLink(const std::string& target) {
    if (Platform().Shell->OpenUrl(target)) return;
    Platform().Dialogs->MessageBox(FmtLoadStr(SLinkOpenFailed, target), LoadStr(SAppTitle),
                                   mtWarning, mbOK);
}

std::string THyperlinkLabel::Target() const {
    return HyperlinkTarget(FURL);
}

void THyperlinkLabel::UpdateColor() {
    TColor c = CurrentColor();
    QPalette p = palette();
    p.setColor(QPalette::WindowText, QColor(GetRValue(c), GetGValue(c), GetBValue(c)));
    setPalette(p);
    update();
}

void THyperlinkLabel::enterEvent(QEnterEvent* e) {
    FHover = true;
    UpdateColor();
    QLabel::enterEvent(e);
}

void THyperlinkLabel::leaveEvent(QEvent* e) {
    FHover = false;
    UpdateColor();
    QLabel::leaveEvent(e);
}

void THyperlinkLabel::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && isEnabled()) OpenLink(Target());
    QLabel::mousePressEvent(e);
}

} // namespace quillet
