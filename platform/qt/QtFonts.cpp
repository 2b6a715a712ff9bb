#include "platform/qt/QtFonts.h"

#include "platform/qt/QtConvert.h"

#include <QFontDatabase>
#include <QRegularExpression>
#include <QStringList>

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <memory>

namespace quillet {

QFont MakeQFont(const TFontDesc& desc) {
    QFont font(QString::fromStdString(desc.Name));
    if (desc.Height < 0)
        font.setPixelSize(-desc.Height);
    else if (desc.Height > 0)
        font.setPointSize(desc.Height);
    font.setBold(desc.Style & fsBold);
    font.setItalic(desc.Style & fsItalic);
    font.setUnderline(desc.Style & fsUnderline);
    font.setStrikeOut(desc.Style & fsStrikeOut);
    // Editor text is laid out on whole pixels; fractional advances would drift the grid.
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setKerning(false);
    return font;
}

TQtFont::TQtFont(const TFontDesc& desc) : FDesc(desc), FFont(MakeQFont(desc)), FMetrics(FFont) {
    for (int c = 0; c < 128; ++c)
        FAscii[size_t(c)] = FMetrics.horizontalAdvance(QChar(c));
}

const QRawFont& TQtFont::RawFont() const {
    if (!FRawMade) {
        FRawMade = true;
        FRaw = QRawFont::fromFont(FFont);
        if (FRaw.isValid()) {
            QChar chars[128];
            for (int c = 0; c < 128; ++c)
                chars[c] = QChar(c);
            int count = 128;
            if (!FRaw.glyphIndexesForChars(chars, 128, FAsciiGlyphs.data(), &count))
                FAsciiGlyphs.fill(0);
        }
    }
    return FRaw;
}

quint32 TQtFont::Glyph(char32_t cp) const {
    const QRawFont& raw = RawFont();
    if (!raw.isValid()) return 0;
    if (cp < 128) return FAsciiGlyphs[cp];
    char16_t units[2];
    int n = 1;
    if (cp >= 0x10000) {
        units[0] = char16_t(0xD800 + ((cp - 0x10000) >> 10));
        units[1] = char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
        n = 2;
    } else {
        units[0] = char16_t(cp);
    }
    quint32 glyphs[2] = {0, 0};
    int count = 2;
    if (!raw.glyphIndexesForChars(reinterpret_cast<const QChar*>(units), n, glyphs, &count) ||
        count < 1)
        return 0;
    return glyphs[0];
}

int TQtFont::CharWidth(char32_t cp) const {
    if (cp < 128) return FAscii[cp];
    return FMetrics.horizontalAdvance(QString::fromUcs4(&cp, 1));
}

int TQtFont::TextWidth(std::string_view utf8) const {
    bool ascii = true;
    int width = 0;
    for (char c : utf8) {
        if (static_cast<unsigned char>(c) >= 128) {
            ascii = false;
            break;
        }
        width += FAscii[size_t(c)];
    }
    return ascii ? width : FMetrics.horizontalAdvance(ToQStringChars(utf8));
}

TFontHandle TQtFonts::CreateFont(const TFontDesc& desc) {
    return std::make_shared<TQtFont>(desc);
}

QString FamilyWithoutFoundry(const QString& family) {
    static const QRegularExpression tag(QStringLiteral("\\s*\\[[^\\]]*\\]$"));
    QString name = family;
    name.remove(tag);
    return name.isEmpty() ? family : name;
}

namespace {

// Fontconfig's configuration files file each family under serif, sans-serif or monospace (a
// family they do not know under sans-serif): the first of the three among the family's
// substitutes is its kind.
TGenericFamily FontconfigGeneric(const QString& family) {
    TGenericFamily generic = gfSansSerif;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return generic;
    QByteArray name = family.toUtf8();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.constData()));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcChar8* value = nullptr;
    for (int i = 0; FcPatternGetString(pattern, FC_FAMILY, i, &value) == FcResultMatch; ++i) {
        QByteArray each = QByteArray(reinterpret_cast<const char*>(value)).toLower();
        if (each == "serif") {
            generic = gfSerif;
            break;
        }
        if (each == "sans-serif" || each == "sans") break;
        if (each == "monospace" || each == "mono") {
            generic = gfMonospace;
            break;
        }
    }
    FcPatternDestroy(pattern);
    return generic;
}

} // namespace

namespace {

// The writing system that stands for a character set; Any for the sets every font serves.
QFontDatabase::WritingSystem WritingSystemOf(uint8_t charset) {
    switch (charset) {
    case 2:
        return QFontDatabase::Symbol;
    case 128:
        return QFontDatabase::Japanese;
    case 129:
    case 130:
        return QFontDatabase::Korean;
    case 134:
        return QFontDatabase::SimplifiedChinese;
    case 136:
        return QFontDatabase::TraditionalChinese;
    case 161:
        return QFontDatabase::Greek;
    case 162:
    case 186:
    case 238:
        return QFontDatabase::Latin; // Latin fonts carry the accented letters
    case 177:
        return QFontDatabase::Hebrew;
    case 178:
        return QFontDatabase::Arabic;
    case 204:
        return QFontDatabase::Cyrillic;
    case 222:
        return QFontDatabase::Thai;
    case 0:
    case 77:
    case 255:
        return QFontDatabase::Latin;
    default:
        return QFontDatabase::Any;
    }
}

} // namespace

std::vector<TFontFamily> TQtFonts::Families() {
    std::vector<TFontFamily> out;
    for (const QString& face : QFontDatabase::families()) {
        if (QFontDatabase::isPrivateFamily(face) || !QFontDatabase::isScalable(face)) continue;
        QString name = FamilyWithoutFoundry(face);
        TGenericFamily generic = FontconfigGeneric(name);
        if (QFontDatabase::isFixedPitch(face)) generic = gfMonospace;
        out.push_back({FromQString(name), FromQString(face), generic});
    }
    std::stable_sort(out.begin(), out.end(), [](const TFontFamily& a, const TFontFamily& b) {
        return QString::compare(ToQString(a.Name), ToQString(b.Name), Qt::CaseInsensitive) < 0;
    });
    // One maker's family stands for a name that several ship.
    out.erase(std::unique(out.begin(), out.end(),
                          [](const TFontFamily& a, const TFontFamily& b) {
                              return QString::compare(ToQString(a.Name), ToQString(b.Name),
                                                      Qt::CaseInsensitive) == 0;
                          }),
              out.end());
    return out;
}

namespace {

// The Windows names the program's descriptions use, each with the fonts that stand in for it.
struct TSubstitute {
    const char* Name;
    int Kind; // 0 fixed-pitch, 1 sans serif, 2 serif
};
constexpr TSubstitute Substitutes[] = {
    {"Courier New", 0}, {"Courier", 0}, {"Lucida Console", 0}, {"MS Sans Serif", 1},
    {"Arial", 1},       {"Tahoma", 1},  {"Verdana", 1},        {"Times New Roman", 2}};

QStringList StandIns(int kind) {
    static const QStringList kinds[] = {{"Liberation Mono", "DejaVu Sans Mono", "Monospace"},
                                        {"Liberation Sans", "DejaVu Sans", "Sans Serif"},
                                        {"Liberation Serif", "DejaVu Serif", "Serif"}};
    return kinds[kind];
}

} // namespace

std::vector<std::string> TQtFonts::FontNames(uint8_t charset) {
    // fontconfig answers which families cover the writing system.
    std::vector<std::string> names;
    const QStringList families = QFontDatabase::families(WritingSystemOf(charset));
    for (QString family : families) {
        if (QFontDatabase::isPrivateFamily(family)) continue;
        // A family several foundries make is listed once, without the foundry.
        if (qsizetype foundry = family.indexOf(QStringLiteral(" ["));
            foundry > 0 && family.endsWith(QLatin1Char(']')))
            family.truncate(foundry);
        names.push_back(family.toStdString());
    }
    // The Windows names the definitions use count when a font standing in for them is here.
    for (const TSubstitute& s : Substitutes)
        for (const QString& stand : StandIns(s.Kind))
            if (families.contains(stand, Qt::CaseInsensitive)) {
                names.emplace_back(s.Name);
                break;
            }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

void InstallFontSubstitutes() {
    static bool done = false;
    if (done) return;
    done = true;
    for (const TSubstitute& s : Substitutes)
        QFont::insertSubstitutions(QString::fromLatin1(s.Name), StandIns(s.Kind));
}

} // namespace quillet
