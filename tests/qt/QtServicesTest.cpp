// The Qt dialogs' option mapping and the keyboard: keys, layouts, modifiers.
#include "platform/Platform.h"
#include "platform/qt/QtConvert.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtFonts.h"
#include "platform/qt/QtKeyboard.h"
#include "platform/qt/QtPlatform.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <map>

using namespace quillet;

TEST(QtDialogs, FiltersButtonsAndResults) {
    EXPECT_EQ(QtNameFilters("Файлы Css|*.css|Все файлы|*.*"),
              QString::fromUtf8("Файлы Css (*.css);;Все файлы (*.*)"));
    EXPECT_EQ(QtNameFilters("Web|*.htm;*.html"), QString("Web (*.htm *.html)"));
    // A name that already shows its pattern is not given it twice.
    EXPECT_EQ(QtNameFilters("Файлы Css (*.css)|*.css"), QString::fromUtf8("Файлы Css (*.css)"));
    EXPECT_EQ(QtNameFilters(""), QString());

    EXPECT_EQ(QtMessageButtons(mbYesNoCancel),
              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(QtMessageButtons(mbOK), QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(QtMessageButtons(mbOKCancel), QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(QtMessageIcon(mtConfirmation), QMessageBox::Question);
    EXPECT_EQ(QtMessageIcon(mtError), QMessageBox::Critical);
    EXPECT_EQ(ModalResultOf(QMessageBox::Yes), mrYes);
    EXPECT_EQ(ModalResultOf(QMessageBox::No), mrNo);
    EXPECT_EQ(ModalResultOf(QMessageBox::Ok), mrOk);
    EXPECT_EQ(ModalResultOf(QMessageBox::NoButton), mrCancel); // the box was closed
}

TEST(QtDialogs, ProgressShowsAfterHalfASecondAndEscapeCancels) {
    TQtDialogs dialogs;
    auto shown = [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<QProgressDialog*>(w); p && p->isVisible()) return p;
        return static_cast<QProgressDialog*>(nullptr);
    };
    QElapsedTimer clock;
    clock.start();
    TProgressFunc watch = dialogs.WatchProgress("Поиск", "Идёт поиск «a»");
    EXPECT_TRUE(watch(1, 100));
    if (clock.elapsed() < TQtDialogs::ProgressDelayMs) {
        EXPECT_EQ(shown(), nullptr);
    }
    QThread::msleep(TQtDialogs::ProgressDelayMs + 20);
    EXPECT_TRUE(watch(50, 100));
    QProgressDialog* dialog = shown();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Поиск");
    EXPECT_EQ(dialog->labelText(), "Идёт поиск «a»");
    EXPECT_EQ(dialog->value(), 500);
    QTest::keyClick(dialog, Qt::Key_Escape);
    QThread::msleep(40);
    EXPECT_FALSE(watch(60, 100));
    watch = nullptr; // the operation is over: the display goes
    EXPECT_EQ(shown(), nullptr);
}

TEST(QtDialogs, FileDialogTakesItsOptions) {
    TFileDialogOptions o;
    o.Title = "Открытие файлов Css";
    o.Filter = "Файлы Css|*.css|Все файлы|*.*";
    o.DefaultExt = "css";
    QFileDialog save;
    ConfigureFileDialog(save, o, true);
    EXPECT_EQ(save.windowTitle(), QString::fromUtf8("Открытие файлов Css"));
    EXPECT_EQ(save.nameFilters().size(), 2);
    EXPECT_EQ(save.defaultSuffix(), QString("css"));
    EXPECT_EQ(save.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_TRUE(save.testOption(QFileDialog::DontConfirmOverwrite));
    o.OverwritePrompt = true;
    QFileDialog open;
    ConfigureFileDialog(open, o, false);
    EXPECT_EQ(open.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(open.fileMode(), QFileDialog::ExistingFile);
    EXPECT_FALSE(open.testOption(QFileDialog::DontConfirmOverwrite));

    EXPECT_EQ(WithDefaultExt("/tmp/a", "css"), "/tmp/a.css");
    EXPECT_EQ(WithDefaultExt("/tmp/a.txt", "css"), "/tmp/a.txt");
    EXPECT_EQ(WithDefaultExt("/tmp.d/a", "css"), "/tmp.d/a.css"); // a dot in the folder
    EXPECT_EQ(WithDefaultExt("/tmp/a", ""), "/tmp/a");
}

// Qt's own texts are Russian once its catalogues are loaded, and no dialog goes without a title.
TEST(QtDialogs, BoxesSpeakRussianAndAlwaysHaveATitle) {
    ASSERT_GE(InstallQtTranslations(), 1) << "Qt's Russian catalogues are not installed";
    QString title;
    QStringList buttons;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        for (QAbstractButton* b : box->buttons())
            buttons << b->text().remove('&');
        box->button(QMessageBox::No)->click();
    });
    TQtDialogs dialogs;
    EXPECT_EQ(dialogs.MessageBox("Сохранить?", "", mtConfirmation, mbYesNoCancel), mrNo);
    EXPECT_EQ(title, QString("Quillet"));
    buttons.sort();
    EXPECT_EQ(buttons.join(','), QString::fromUtf8("Да,Нет,Отмена"));

    QFileDialog open, save;
    ConfigureFileDialog(open, TFileDialogOptions{}, false);
    ConfigureFileDialog(save, TFileDialogOptions{}, true);
    EXPECT_EQ(open.windowTitle(), QString::fromUtf8("Открытие файла"));
    EXPECT_EQ(save.windowTitle(), QString::fromUtf8("Сохранение файла"));
    EXPECT_EQ(save.labelText(QFileDialog::Reject).remove('&'), QString::fromUtf8("Отмена"));
}

TEST(QtKeyboard, QtKeysBecomeVirtualKeys) {
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_A, false), 'A');
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_7, false), '7');
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_7, true), VK_NUMPAD0 + 7);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_F12, false), VK_F12);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Return, false), VK_RETURN);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Enter, true), VK_RETURN);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Backtab, false), VK_TAB);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Delete, false), VK_DELETE);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_PageDown, false), VK_NEXT);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Minus, false), VK_OEM_MINUS);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Minus, true), VK_SUBTRACT);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_BracketLeft, false), VK_OEM_4);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Colon, false), VK_OEM_1);
    // On a Russian layout Qt reports the Cyrillic letter; the key is the physical one.
    EXPECT_EQ(VirtualKeyFromQt(int(U'Й'), false), 'Q');
    EXPECT_EQ(VirtualKeyFromQt(int(U'ж'), false), VK_OEM_1);
    EXPECT_EQ(VirtualKeyFromQt(0x01000000 + 0x7777, false), 0); // nothing we know

    EXPECT_EQ(ShiftStateFromQt(Qt::ShiftModifier | Qt::ControlModifier), ssShift | ssCtrl);
    EXPECT_EQ(ShiftStateFromQt(Qt::AltModifier), ssAlt);
}

TEST(QtKeyboard, LayoutsAnswerWhichKeyTypesACharacter) {
    TQtKeyboardLayout layout;
    layout.SetLayout(TQtKeyboardLayout::klRussian);
    EXPECT_EQ(layout.CharForKey({'Q', 0}), U'й');
    EXPECT_EQ(layout.CharForKey({'Q', ssShift}), U'Й');
    EXPECT_EQ(layout.CharForKey({'3', ssShift}), U'№');
    EXPECT_EQ(layout.CharForKey({'Q', ssCtrl}), 0u);
    EXPECT_EQ(layout.CharForKey({VK_SPACE, 0}), U' ');
    EXPECT_EQ(layout.KeyForChar(U'ё'), (TKeyStroke{VK_OEM_3, 0}));
    EXPECT_EQ(layout.KeyForChar(U','), (TKeyStroke{VK_OEM_2, ssShift}));
    // Latin letters still find their keys (the other layout).
    EXPECT_EQ(layout.KeyForChar(U'q'), (TKeyStroke{'Q', 0}));

    layout.SetLayout(TQtKeyboardLayout::klUs);
    EXPECT_EQ(layout.CharForKey({'Q', 0}), U'q');
    EXPECT_EQ(layout.KeyForChar(U';'), (TKeyStroke{VK_OEM_1, 0}));
    EXPECT_EQ(layout.KeyForChar(U'Ж'), (TKeyStroke{VK_OEM_1, ssShift}));
    EXPECT_EQ(layout.KeyForChar(U'€'), std::nullopt);
    // '#' is Shift+3 on the US layout only; the Russian one puts '№' there.
    EXPECT_EQ(RussianKeyForChar(U'#'), std::nullopt);
}

TEST(QtPlatform, InstallReplacesTheHeadlessServices) {
    InstallQtPlatform();
    EXPECT_NE(dynamic_cast<TQtFonts*>(Platform().Fonts.get()), nullptr);
    EXPECT_NE(dynamic_cast<TQtDialogs*>(Platform().Dialogs.get()), nullptr);
    EXPECT_NE(dynamic_cast<TQtKeyboardLayout*>(Platform().Keyboard.get()), nullptr);
    // The Windows family names resolve to installed fonts.
    QFontInfo info(MakeQFont({"Courier New", -13, 0, RUSSIAN_CHARSET}));
    EXPECT_TRUE(info.fixedPitch());
}

TEST(QtFonts, FamiliesAreNamedAsPeopleKnowThemWithTheirGenericKind) {
    EXPECT_EQ(FamilyWithoutFoundry("Nimbus Sans [urw]"), "Nimbus Sans");
    EXPECT_EQ(FamilyWithoutFoundry("[x]"), "[x]");
    TQtFonts fonts;
    std::vector<TFontFamily> families = fonts.Families();
    std::map<std::string, TGenericFamily> kinds;
    for (size_t i = 0; i < families.size(); ++i) {
        EXPECT_EQ(families[i].Name.find('['), std::string::npos) << families[i].Name;
        if (i > 0) {
            EXPECT_LT(QString::compare(ToQString(families[i - 1].Name), ToQString(families[i].Name),
                                       Qt::CaseInsensitive),
                      0);
        }
        kinds[families[i].Name] = families[i].Generic;
    }
    // The fonts the build installs.
    ASSERT_TRUE(kinds.count("DejaVu Sans Mono") && kinds.count("DejaVu Serif") &&
                kinds.count("DejaVu Sans"));
    EXPECT_EQ(kinds["DejaVu Sans Mono"], gfMonospace);
    EXPECT_EQ(kinds["DejaVu Serif"], gfSerif);
    EXPECT_EQ(kinds["DejaVu Sans"], gfSansSerif);
}
