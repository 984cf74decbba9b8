// The Qt main window offscreen: layout, start-up failure, the two buttons through the real dialogs
// (answered by the test while they are up), and what the panels show.
#include "app/Commands.h"
#include "app/Texts.h"
#include "app/WindowLayout.h"
#include "cli/Cli.h"
#include "platform/WindowServices.h"
#include "qt/Panels.h"
#include "qt/MainWindow.h"
#include "tests/support/BlockFileReading.h"
#include "tests/support/CsvCounts.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QTreeWidget>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>

using namespace tesselbox;

namespace {

const QString COLORS = QStringLiteral(TESSELBOX_SOURCE_DIR "/Colors.txt");

QString Utf8(const char* text) { return QString::fromUtf8(text); }

// Answers the next modal dialog of type T with action once it is up, for as long as it is kept;
// came tells whether one did.
class ModalAnswer {
public:
    bool came = false;
    ~ModalAnswer() { timer_.stop(); }

    template <class T>
    void Start(std::function<void(T&)> action) {
        deadline_ = QDeadlineTimer(10000);
        QObject::connect(&timer_, &QTimer::timeout, [this, action = std::move(action)] {
            auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
            if (dialog != nullptr && dialog->isVisible()) {
                timer_.stop();
                came = true;
                action(*dialog);
            } else if (deadline_.hasExpired()) {
                timer_.stop();
            }
        });
        timer_.start(5);
    }

private:
    QTimer timer_;
    QDeadlineTimer deadline_;
};

template <class T>
std::unique_ptr<ModalAnswer> WhenModal(std::function<void(T&)> action) {
    auto answer = std::make_unique<ModalAnswer>();
    answer->Start<T>(std::move(action));
    return answer;
}

struct FileDialogSeen {
    bool save = false;
    QStringList filters;
    QString filterAtStart;
    QString nameAtStart;
    QString title;
};

FileDialogSeen Look(QFileDialog& dialog) {
    return {dialog.acceptMode() == QFileDialog::AcceptSave, dialog.nameFilters(),
            dialog.selectedNameFilter(), dialog.findChild<QLineEdit*>("fileNameEdit")->text(),
            dialog.windowTitle()};
}

// The names the dialog lists in its folder once its model has read it.
QStringList Listed(QFileDialog& dialog) {
    auto* view = dialog.findChild<QListView*>("listView");
    QStringList names;
    QTest::qWait(150);  // a changed filter is applied through the model's own timer
    for (int attempt = 0; attempt < 100; ++attempt) {
        names.clear();
        const QModelIndex root = view->rootIndex();
        for (int row = 0; row < view->model()->rowCount(root); ++row) {
            const QModelIndex index = view->model()->index(row, 0, root);
            if (!view->isRowHidden(row)) names << index.data().toString();
        }
        if (!names.isEmpty()) break;
        QTest::qWait(20);
    }
    names.sort();
    return names;
}

// Types a name into the file name box and presses Return.
void Type(QFileDialog& dialog, const QString& name) {
    auto* edit = dialog.findChild<QLineEdit*>("fileNameEdit");
    edit->setText(name);
    QTest::keyClick(edit, Qt::Key_Return);
}

void Answer(QMessageBox& box, QMessageBox::StandardButton button) { box.button(button)->click(); }

QImage Gradient(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(x * 2 % 256, y * 3 % 256, 255 - x % 256));
    return image;
}

// Four solid quadrants: red, green, blue, white.
QImage Quadrants(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    const QRgb colors[4] = {qRgb(200, 30, 30), qRgb(30, 200, 30), qRgb(30, 30, 200), qRgb(250, 250, 250)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, colors[(y * 2 / height) * 2 + x * 2 / width]);
    return image;
}

QImage Grab(QWidget* panel) { return panel->grab().toImage().convertToFormat(QImage::Format_RGB32); }

QRgb Opaque(QRgb c) { return c | 0xFF000000u; }

// A gzip file's bytes inflated; empty when it is none.
std::string Unzipped(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    std::string out;
    if (!testing::Gunzip(std::string_view(bytes.constData(), std::size_t(bytes.size())), out)) return {};
    return out;
}

// A .litematic's NBT with the two writing times zeroed: those differ between any two writes.
std::string WithoutTimes(std::string nbt) {
    for (const std::string name : {"TimeCreated", "TimeModified"}) {
        const std::string tag = std::string("\x04\x00", 2) + char(name.size()) + name;
        const std::size_t at = nbt.find(tag);
        if (at == std::string::npos) return {};
        nbt.replace(at + tag.size(), 8, 8, '\0');
    }
    return nbt;
}

// The preview surface's picture point (x, y), y from the top.
QRgb PreviewAt(const AppState& state, int x, int y) {
    const PixelSurface& s = state.picture.preview;
    return s.bits()[std::size_t(s.height() - 1 - std::uint32_t(y)) * s.width() + std::uint32_t(x)];
}

class Fixture {
public:
    Fixture() : window(COLORS.toStdString()) {}
    bool Open() {
        if (!window.Start()) return false;
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    }
    QPushButton* choose() const { return window.Button(layout::IDC_CHOOSE_PICTURE); }
    QPushButton* generate() const { return window.Button(layout::IDC_GENERATE); }
    QWidget* source() const { return window.Panel(layout::IDC_SOURCE_PANEL); }
    QWidget* preview() const { return window.Panel(layout::IDC_PREVIEW_PANEL); }

    // Clicks "选择图片", picks path in the open dialog and, if asked, answers the shrink question.
    // Returns whether the question was asked.
    bool Import(const QString& path, bool shrink = true) {
        auto dialog = WhenModal<QFileDialog>([path](QFileDialog& d) { Type(d, path); });
        bool asked = false;
        auto question = WhenModal<QMessageBox>([&asked, shrink](QMessageBox& box) {
            asked = box.icon() == QMessageBox::Question;
            Answer(box, shrink ? QMessageBox::Yes : QMessageBox::No);
        });
        QTest::mouseClick(choose(), Qt::LeftButton);
        if (!dialog->came) qWarning("no open dialog came");
        return asked;
    }

    // A 120 x 90 gradient, fitted as it is.
    bool ImportGradient() {
        const QString path = folder.filePath("gradient.png");
        if (!Gradient(120, 90).save(path)) return false;
        Import(path);
        return window.state().picture.working.width == 120;
    }

    // Right-clicks the preview panel and picks the item with this text from the menu that opens.
    // Returns the items shown, a checked one marked with "*".
    QStringList PickFromPreviewMenu(const QString& text) {
        QStringList shown;
        QTimer poll;
        const QDeadlineTimer deadline(10000);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr || !menu->isVisible()) {
                if (deadline.hasExpired()) poll.stop();
                return;
            }
            poll.stop();
            for (QAction* action : menu->actions()) {
                if (!action->isSeparator()) shown << (action->isChecked() ? "*" : "") + action->text();
            }
            // Keys reach a menu only once it has settled.
            QTimer::singleShot(50, menu, [menu, text] {
                for (QAction* action : menu->actions()) {
                    if (action->text() != text) continue;
                    menu->setActiveAction(action);
                    QTest::keyClick(menu, Qt::Key_Return);
                    return;
                }
                menu->hide();
            });
        });
        poll.start(5);
        const QPoint at(150, 150);
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, preview()->mapToGlobal(at));
        QApplication::sendEvent(preview(), &click);
        return shown;
    }

    QTemporaryDir folder;
    qt::MainWindow window;
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(QFile::exists(COLORS));
        qt::ConfigureApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
    }

    void layoutTextsAndIcon() {
        Fixture f;
        QVERIFY(f.Open());
        QWidget& w = f.window;
        QCOMPARE(w.windowTitle(), QStringLiteral("Tesselbox"));
        QCOMPARE(w.size(), QSize(648, 378));
        QCOMPARE(w.minimumSize(), w.maximumSize());
        QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
        const QRect screen = w.screen()->geometry();
        QCOMPARE(w.pos(), QPoint(screen.width() / 2 - 327, screen.height() / 2 - 206));

        const struct {
            QWidget* widget;
            QRect where;
            const char* text;
        } controls[] = {
            {f.choose(), {216, 332, 100, 30}, "选择图片"},
            {f.generate(), {332, 332, 100, 30}, "生成"},
            {f.source(), {16, 16, 300, 300}, nullptr},
            {f.preview(), {332, 16, 300, 300}, nullptr},
        };
        for (const auto& c : controls) {
            QVERIFY(c.widget != nullptr);
            QCOMPARE(c.widget->geometry(), c.where);
            QVERIFY(c.widget->isVisible());
            if (c.text != nullptr) QCOMPARE(static_cast<QPushButton*>(c.widget)->text(), Utf8(c.text));
        }

        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Tesselbox"));
        QCOMPARE(QCoreApplication::applicationVersion(), QStringLiteral("1.0.0.0"));
        const QImage drawn(QStringLiteral(TESSELBOX_SOURCE_DIR "/resources/icon-64.png"));
        QCOMPARE(drawn.size(), QSize(64, 64));
        const QImage icon = w.windowIcon().pixmap(QSize(64, 64)).toImage();
        QCOMPARE(icon.convertToFormat(QImage::Format_RGB32), drawn.convertToFormat(QImage::Format_RGB32));
    }

    // Work under RunBusy runs on another thread while the window goes on handling events (a
    // timer here); the window cannot be closed meanwhile, the busy bar shows once the work lasts,
    // and what the work throws comes back.
    void busyWorkKeepsTheWindowAlive() {
        Fixture f;
        QVERIFY(f.Open());
        bool timerFired = false, closeRefused = false, barShown = false;
        QTimer::singleShot(50, [&] { timerFired = true; });
        QTimer::singleShot(100, [&] { closeRefused = !f.window.close() && f.window.isVisible(); });
        QTimer::singleShot(qt::BUSY_INDICATOR_DELAY_MS + 150, [&] {
            auto* bar = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
            barShown = bar != nullptr && bar->isVisible();
        });
        std::thread::id workedOn;
        std::atomic<bool> release{false};
        QTimer::singleShot(qt::BUSY_INDICATOR_DELAY_MS + 300, [&] { release = true; });
        f.window.services().RunBusy([&] {
            workedOn = std::this_thread::get_id();
            while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        });
        QVERIFY(workedOn != std::this_thread::get_id());
        QVERIFY(timerFired);
        QVERIFY(closeRefused);
        QVERIFY(barShown);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QVERIFY(f.window.close());

        bool caught = false;
        try {
            f.window.services().RunBusy([] { throw std::runtime_error("no"); });
        } catch (const std::runtime_error&) {
            caught = true;
        }
        QVERIFY(caught);
    }

    // A Chinese desktop gets Qt's own buttons in Chinese around our texts; an English one keeps
    // Qt's English.
    void qtTextsFollowTheDesktopLanguage_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("yes");
        QTest::addColumn<QString>("no");
        QTest::newRow("zh_CN") << "zh_CN" << QString::fromUtf8("是(&Y)") << QString::fromUtf8("否(&N)");
        QTest::newRow("en_US") << "en_US" << "&Yes" << "&No";
    }
    void qtTextsFollowTheDesktopLanguage() {
        QFETCH(QString, locale);
        QFETCH(QString, yes);
        QFETCH(QString, no);
        auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
        QTranslator* translator = qt::InstallQtTranslations(*application, QLocale(locale));
        QMessageBox box(QMessageBox::Question, "Tesselbox", "?", QMessageBox::Yes | QMessageBox::No);
        const QString shownYes = box.button(QMessageBox::Yes)->text();
        const QString shownNo = box.button(QMessageBox::No)->text();
        if (translator != nullptr) QCoreApplication::removeTranslator(translator);
        delete translator;
        QCOMPARE(shownYes, yes);
        QCOMPARE(shownNo, no);
    }

    void tabDoesNotMoveFocus() {
        Fixture f;
        QVERIFY(f.Open());
        for (QPushButton* button : {f.choose(), f.generate()}) {
            button->setFocus();
            QTRY_VERIFY(button->hasFocus());
            QTest::keyClick(button, Qt::Key_Tab);
            QVERIFY(button->hasFocus());
            QTest::keyClick(button, Qt::Key_Backtab);
            QVERIFY(button->hasFocus());
        }
    }

    void colorTableFailure_data() {
        QTest::addColumn<QByteArray>("content");  // empty: no file at all
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("no entry") << QByteArray("block id,data value,red,green,blue\n35 ,1,2,3,4\n");
    }

    void colorTableFailure() {
        QFETCH(QByteArray, content);
        QTemporaryDir folder;
        const QString path = folder.filePath("Colors.txt");
        if (!content.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        QString text, title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        bool hadOwner = true;
        auto answer = WhenModal<QMessageBox>([&](QMessageBox& box) {
            text = box.text();
            title = box.windowTitle();
            icon = box.icon();
            buttons = box.standardButtons();
            hadOwner = box.parentWidget() != nullptr;
            Answer(box, QMessageBox::Ok);
        });
        qt::MainWindow window(path.toStdString());
        QVERIFY(!window.Start());
        QVERIFY(answer->came);
        QCOMPARE(text, Utf8("输入颜色失败！"));
        QCOMPARE(title, QStringLiteral("Tesselbox"));
        QCOMPARE(icon, QMessageBox::Critical);
        QCOMPARE(buttons, QMessageBox::Ok);
        QVERIFY(!hadOwner);
        QVERIFY(!window.isVisible());
        QCOMPARE(window.Button(layout::IDC_GENERATE), nullptr);
    }

    void panelsBeforeImport() {
        Fixture f;
        QVERIFY(f.Open());
        for (QWidget* panel : {f.source(), f.preview()}) {
            const QImage image = Grab(panel);
            QCOMPARE(image.size(), QSize(300, 300));
            int wrong = 0;
            for (int y = 0; y < 300; ++y)
                for (int x = 0; x < 300; ++x) {
                    const bool frame = x == 0 || y == 0 || x == 299 || y == 299;
                    wrong += image.pixel(x, y) != (frame ? 0xFF000000u : 0xFFFFFFFFu);
                }
            QCOMPARE(wrong, 0);
        }
    }

    // The save dialog lists every format and starts on the .schematic each time, whichever filter
    // the last dialog ended on. A plain name gets the extension of the filter shown, a typed one
    // keeps its own; the file is written in the format of the final name and nothing else.
    void saveFiltersAndTheExtensionTheyGive() {
        Fixture f;
        QVERIFY(f.Open());
        const QString picture = f.folder.filePath("photo.png");
        QVERIFY(Gradient(20, 10).save(picture));
        f.Import(picture);
        const QByteArray gzip("\x1f\x8b", 2), big("\x0a\x00\x09", 3), little("\x0a\x00\x00", 3);
        const struct {
            int downs;  // from the first filter
            const char* typed;
            const char* written;
            QByteArray start;
        } cases[] = {
            {0, "a", "a.schematic", big},        {1, "b", "b.schem", gzip},
            {2, "c", "c.litematic", gzip},       {3, "d", "d.nbt", gzip},
            {4, "e", "e.mcstructure", little},   {0, "f.nbt", "f.nbt", gzip},
            {3, "g.schematic", "g.schematic", big}, {4, "h.SCHEM", "h.SCHEM", gzip},
        };
        const QStringList filters = {Utf8("schematic文件(*.schematic)"), Utf8("schem文件(*.schem)"),
                                     Utf8("litematic文件(*.litematic)"), Utf8("结构文件(*.nbt)"),
                                     Utf8("基岩版结构文件(*.mcstructure)")};
        QDir out(f.folder.filePath("out"));
        QVERIFY(out.mkpath("."));
        for (const auto& c : cases) {
            FileDialogSeen seen;
            auto answer = WhenModal<QFileDialog>([&](QFileDialog& d) {
                seen = Look(d);
                auto* combo = d.findChild<QComboBox*>("fileTypeCombo");
                for (int i = 0; i < c.downs; ++i) QTest::keyClick(combo, Qt::Key_Down);
                Type(d, out.filePath(QString::fromUtf8(c.typed)));
            });
            QTest::mouseClick(f.generate(), Qt::LeftButton);
            QVERIFY2(answer->came, c.typed);
            QCOMPARE(seen.filters, filters);
            QCOMPARE(seen.filterAtStart, filters[0]);
            QCOMPARE(f.window.state().fileDialog.filterIndex, std::uint32_t(c.downs + 1));
            QFile file(out.filePath(QString::fromUtf8(c.written)));
            QVERIFY2(file.open(QIODevice::ReadOnly), c.written);
            QCOMPARE(file.read(c.start.size()), c.start);
            QCOMPARE(out.entryList(QDir::Files).size(), qsizetype(&c - cases + 1));
        }
    }

    // Before any import "生成" writes the empty 124-byte schematic; a typed name gets ".schematic",
    // also in a folder whose name has a dot; replacing a file asks first.
    void generateWritesAndAsksBeforeReplacing() {
        Fixture f;
        QVERIFY(f.Open());
        QVERIFY(QDir(f.folder.path()).mkdir("with.dot"));
        const QString typed = f.folder.filePath("with.dot/out");
        const QString written = typed + ".schematic";

        FileDialogSeen seen;
        auto answer = WhenModal<QFileDialog>([&](QFileDialog& d) {
            seen = Look(d);
            Type(d, typed);
        });
        QTest::mouseClick(f.generate(), Qt::LeftButton);
        QVERIFY(answer->came);
        QVERIFY(seen.save);
        QCOMPARE(seen.filters.value(0), Utf8("schematic文件(*.schematic)"));
        QCOMPARE(seen.nameAtStart, QString());
        QCOMPARE(seen.title, QStringLiteral("Save As"));
        QCOMPARE(QFileInfo(written).size(), 124);

        for (const bool replace : {false, true}) {
            QFile junk(written);
            QVERIFY(junk.open(QIODevice::WriteOnly));
            junk.write("junk");
            junk.close();
            bool asked = false;
            answer = WhenModal<QFileDialog>([&](QFileDialog& d) {
                QCOMPARE(Look(d).nameAtStart, QString());
                auto prompt = WhenModal<QMessageBox>([&](QMessageBox& box) {
                    asked = true;
                    Answer(box, replace ? QMessageBox::Yes : QMessageBox::No);
                });
                Type(d, written);
                if (d.isVisible()) d.reject();  // refused: the dialog stays up until cancelled
            });
            QTest::mouseClick(f.generate(), Qt::LeftButton);
            QVERIFY(answer->came);
            QVERIFY(asked);
            QCOMPARE(QFileInfo(written).size(), replace ? 124 : 4);
        }
    }

    // The picture filter lists .jpg, .png and .bmp in any letter case, "所有文件(*.*)" every file;
    // the open dialog refuses a name that does not exist.
    void openDialogFiltersAndRefusal() {
        Fixture f;
        QVERIFY(f.Open());
        QDir folder(f.folder.path());
        const QStringList names = {"a.jpg", "B.JPG", "c.Png", "d.bmp", "e.txt", "f", "g.jpeg"};
        for (const QString& name : names) {
            QFile file(folder.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        FileDialogSeen seen;
        QStringList pictures, everything;
        bool refused = false;
        auto answer = WhenModal<QFileDialog>([&](QFileDialog& d) {
            seen = Look(d);
            d.setDirectory(folder);
            pictures = Listed(d);
            auto* combo = d.findChild<QComboBox*>("fileTypeCombo");
            QTest::keyClick(combo, Qt::Key_Down);
            everything = Listed(d);
            auto warning = WhenModal<QMessageBox>([&](QMessageBox& box) {
                refused = true;
                box.accept();
            });
            Type(d, folder.filePath("nothing-here.png"));
            refused = refused && d.isVisible();
            if (d.isVisible()) d.reject();
        });
        QTest::mouseClick(f.choose(), Qt::LeftButton);
        QVERIFY(answer->came);
        QVERIFY(!seen.save);
        QCOMPARE(seen.filters, (QStringList{Utf8("图片文件(*.jpg;*.png;*.bmp)"), Utf8("所有文件(*.*)")}));
        QCOMPARE(seen.filterAtStart, seen.filters[0]);
        QCOMPARE(seen.nameAtStart, QString());
        QCOMPARE(seen.title, QStringLiteral("Open"));
        QCOMPARE(pictures, (QStringList{"B.JPG", "a.jpg", "c.Png", "d.bmp"}));
        QStringList all = names;
        all.sort();
        QCOMPARE(everything, all);
        QVERIFY(refused);
        QCOMPARE(f.window.state().fileDialog.filterIndex, 0u);  // cancelled: nothing written back
    }

    // The number of the filter shown is written back when a file was chosen and carries over
    // between the open and the save dialog; beyond a dialog's list it starts on the first.
    void filterNumberCarriesOver() {
        Fixture f;
        QVERIFY(f.Open());
        const QString picture = f.folder.filePath("photo");  // "jpg" is appended
        QVERIFY(Gradient(20, 10).save(picture + ".jpg", "JPG"));

        QString openStart;
        auto answer = WhenModal<QFileDialog>([&](QFileDialog& d) {
            openStart = d.selectedNameFilter();
            QTest::keyClick(d.findChild<QComboBox*>("fileTypeCombo"), Qt::Key_Down);
            Type(d, picture);
        });
        QTest::mouseClick(f.choose(), Qt::LeftButton);
        QVERIFY(answer->came);
        QCOMPARE(openStart, Utf8("图片文件(*.jpg;*.png;*.bmp)"));
        QCOMPARE(f.window.state().picture.working.width, 20u);
        QCOMPARE(f.window.state().fileDialog.filterIndex, 2u);

        answer = WhenModal<QFileDialog>([&](QFileDialog& d) {
            openStart = d.selectedNameFilter();
            d.reject();
        });
        QTest::mouseClick(f.choose(), Qt::LeftButton);
        QVERIFY(answer->came);
        QCOMPARE(openStart, Utf8("所有文件(*.*)"));

        QString saveStart;
        answer = WhenModal<QFileDialog>([&](QFileDialog& d) {
            saveStart = d.selectedNameFilter();
            Type(d, f.folder.filePath("out"));
        });
        QTest::mouseClick(f.generate(), Qt::LeftButton);
        QVERIFY(answer->came);
        QCOMPARE(saveStart, Utf8("schematic文件(*.schematic)"));
        QCOMPARE(f.window.state().fileDialog.filterIndex, 1u);
        QCOMPARE(QFileInfo(f.folder.filePath("out.schematic")).size(), 124 + 2 * 20 * 10);
    }

    // 120 x 80 is drawn one to one from the top-left corner of both panels, under the frame. With
    // two device pixels per pixel it stays crisp: each picture pixel a 2 x 2 square of its color.
    void smallPictureOneToOne() {
        Fixture f;
        QVERIFY(f.Open());
        const QImage picture = Gradient(120, 80);
        const QString path = f.folder.filePath("small.png");
        QVERIFY(picture.save(path));
        QVERIFY(!f.Import(path));
        QCOMPARE(f.window.state().picture.working.width, 120u);
        const QImage left = Grab(f.source());
        const QImage right = Grab(f.preview());
        int wrongLeft = 0, wrongRight = 0, notWhite = 0;
        for (int y = 1; y < 299; ++y)
            for (int x = 1; x < 299; ++x) {
                if (x < 120 && y < 80) {
                    wrongLeft += left.pixel(x, y) != Opaque(picture.pixel(x, y));
                    wrongRight += right.pixel(x, y) != Opaque(PreviewAt(f.window.state(), x, y));
                } else {
                    notWhite += (left.pixel(x, y) != 0xFFFFFFFFu) + (right.pixel(x, y) != 0xFFFFFFFFu);
                }
            }
        QCOMPARE(wrongLeft, 0);
        QCOMPARE(wrongRight, 0);
        QCOMPARE(notWhite, 0);
        QCOMPARE(left.pixel(10, 0), 0xFF000000u);  // the frame covers the top row of the picture
        QCOMPARE(left.pixel(0, 10), 0xFF000000u);

        QImage device(600, 600, QImage::Format_RGB32);
        device.setDevicePixelRatio(2);
        {
            QPainter painter(&device);
            qt::PanelPainter canvas(painter);
            DispatchDrawItem(f.window.state(), layout::IDC_SOURCE_PANEL, canvas);
        }
        int notSquare = 0;
        for (int y = 1; y < 80; ++y)
            for (int x = 1; x < 120; ++x)
                for (int d = 0; d < 4; ++d)
                    notSquare += device.pixel(2 * x + d % 2, 2 * y + d / 2) != Opaque(picture.pixel(x, y));
        QCOMPARE(notSquare, 0);
        QCOMPARE(device.pixel(598, 300), 0xFF000000u);  // the frame: one pixel, two device pixels
        QCOMPARE(device.pixel(597, 300), 0xFFFFFFFFu);
    }

    // 600 x 400 asks; fitted it fills 300 x 200 one to one, kept at full size it is shown shrunk to
    // 300 x 200 while the surfaces keep every pixel.
    void largePicture_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("shrink");
        QTest::addColumn<QSize>("working");
        QTest::newRow("fitted") << QSize(600, 400) << true << QSize(300, 200);
        QTest::newRow("kept at full size") << QSize(600, 400) << false << QSize(600, 400);
        // Made on another thread while the window shows itself busy.
        QTest::newRow("kept at full size, large") << QSize(3072, 2048) << false << QSize(3072, 2048);
    }

    void largePicture() {
        QFETCH(QSize, size);
        QFETCH(bool, shrink);
        QFETCH(QSize, working);
        Fixture f;
        QVERIFY(f.Open());
        const QImage picture = Quadrants(size.width(), size.height());
        const QString path = f.folder.filePath("large.png");
        QVERIFY(picture.save(path));
        QVERIFY(f.Import(path, shrink));
        const AppState& state = f.window.state();
        QCOMPARE(QSize(int(state.picture.working.width), int(state.picture.working.height)), working);
        QCOMPARE(QSize(int(state.picture.display.width), int(state.picture.display.height)), QSize(300, 200));
        QCOMPARE(QSize(int(state.picture.source.width()), int(state.picture.source.height())), working);

        const QImage left = Grab(f.source());
        // The middle of each quadrant, away from the seams that scaling may blend.
        const QPoint middles[] = {{75, 50}, {225, 50}, {75, 150}, {225, 150}};
        for (const QPoint p : middles) {
            QCOMPARE(left.pixel(p), Opaque(picture.pixel(p * size.width() / 300)));
        }
        const QImage right = Grab(f.preview());
        QCOMPARE(right.pixel(75, 50), Opaque(PreviewAt(state, 75 * working.width() / 300, 50 * working.height() / 200)));
        for (const QImage& panel : {left, right}) {
            QVERIFY(panel.pixel(75, 198) != 0xFFFFFFFFu);  // the picture's last rows, then white
            QCOMPARE(panel.pixel(75, 200), 0xFFFFFFFFu);
            QCOMPARE(panel.pixel(150, 250), 0xFFFFFFFFu);
        }
    }

    // The preview panel's menu converts the picture again, asking nothing, and paints the result.
    void previewMenuConvertsAgain() {
        Fixture f;
        QVERIFY(f.Open());
        QVERIFY(f.ImportGradient());
        const AppState& state = f.window.state();
        const BlockGrid plain = state.picture.grid;

        QStringList shown = f.PickFromPreviewMenu(Utf8(texts::DITHER_FLOYD_STEINBERG));
        QCOMPARE(shown, QStringList({"*" + Utf8(texts::MATCH_RGB), Utf8(texts::MATCH_PERCEPTUAL),
                                     "*" + Utf8(texts::DITHER_NONE),
                                     Utf8(texts::DITHER_FLOYD_STEINBERG), Utf8(texts::DITHER_ORDERED),
                                     "*" + Utf8(texts::ORIENTATION_FLOOR), Utf8(texts::ORIENTATION_WALL),
                                     "*" + Utf8(texts::MAP_NONE), Utf8(texts::MAP_FLAT), Utf8(texts::MAP_STAIRCASE),
                                     Utf8(texts::MAP_VALLEY), "*" + Utf8(texts::MAPS_1X1), Utf8(texts::MAPS_1X2),
                                     Utf8(texts::MAPS_2X1), Utf8(texts::MAPS_2X2), Utf8(texts::MAPS_3X3),
                                     Utf8(texts::MAPS_4X4), Utf8(texts::MENU_BLOCKS), Utf8(texts::MENU_MATERIALS)}));
        QVERIFY(state.choice == (ConversionChoice{MatchMode::Rgb, DitherMode::FloydSteinberg}));
        QVERIFY(state.picture.grid != plain);
        shown = f.PickFromPreviewMenu(Utf8(texts::MATCH_PERCEPTUAL));
        QVERIFY(shown.contains("*" + Utf8(texts::DITHER_FLOYD_STEINBERG)));
        QVERIFY(state.choice == (ConversionChoice{MatchMode::Perceptual, DitherMode::FloydSteinberg}));
        QVERIFY(QApplication::activeModalWidget() == nullptr);

        QTest::qWait(20);  // the repaint
        const QImage right = Grab(f.preview());
        for (const QPoint p : {QPoint(10, 10), QPoint(61, 33), QPoint(119, 89)}) {
            QCOMPARE(right.pixel(p), Opaque(PreviewAt(state, p.x(), p.y())));  // shown at its own size
        }

        // 方向：墙面 converts nothing; the next file written stands up: Height 90, Length 1.
        const BlockGrid dithered = state.picture.grid;
        shown = f.PickFromPreviewMenu(Utf8(texts::ORIENTATION_WALL));
        QVERIFY(state.orientation == Orientation::Wall);
        QVERIFY(state.picture.grid == dithered);
        const QString typed = f.folder.filePath("wall.schematic");
        auto answer = WhenModal<QFileDialog>([&](QFileDialog& d) { Type(d, typed); });
        QTest::mouseClick(f.generate(), Qt::LeftButton);
        QVERIFY(answer->came);
        QFile file(typed);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.mid(12, 11), QByteArray("\x02\x00\x06Height\x00\x5a", 11));
        QCOMPARE(bytes.mid(23, 11), QByteArray("\x02\x00\x06Length\x00\x01", 11));
        shown = f.PickFromPreviewMenu(Utf8(texts::ORIENTATION_FLOOR));
        QVERIFY(shown.contains("*" + Utf8(texts::ORIENTATION_WALL)));
        QVERIFY(state.orientation == Orientation::Floor);
    }

    // 方块… shows the table's blocks by family with the quick choices; OK converts again with the
    // blocks chosen, Cancel changes nothing, and 另存为颜色表… writes them but never over the table
    // read. 材料清单… lists the blocks and saves the same counts as CSV.
    void blockAndMaterialDialogs() {
        Fixture f;
        QVERIFY(f.Open());
        QVERIFY(f.ImportGradient());
        const AppState& state = f.window.state();
        const BlockGrid all = state.picture.grid;
        QFile colors(COLORS);
        QVERIFY(colors.open(QIODevice::ReadOnly));
        const QByteArray table = colors.readAll();

        // Leaves out a block and the busy ones, then presses button (OK or Cancel).
        const auto choose = [&](QDialogButtonBox::StandardButton button, QString* count = nullptr) {
            auto answer = WhenModal<QDialog>([&](QDialog& d) {
                QCOMPARE(d.objectName(), QStringLiteral("blockDialog"));
                QCOMPARE(d.windowTitle(), Utf8(texts::BLOCKS_TITLE));
                auto* tables = d.findChild<QComboBox*>("blockTable");
                QCOMPARE(tables->count(), 2);
                QCOMPARE(tables->itemText(0), Utf8(texts::TABLE_WORKING_FOLDER));
                auto* blocks = d.findChild<QTreeWidget*>("blocks");
                QVERIFY(blocks->topLevelItemCount() > 3);
                QTreeWidgetItem* first = blocks->topLevelItem(0)->child(0);
                QCOMPARE(first->checkState(0), Qt::Checked);
                first->setCheckState(0, Qt::Unchecked);
                auto* busy = d.findChild<QCheckBox*>("quickChoice3");
                QCOMPARE(busy->text(), Utf8(texts::NO_BUSY_BLOCKS));
                busy->click();
                if (count != nullptr) *count = d.findChild<QLabel*>("count")->text();
                d.findChild<QDialogButtonBox*>()->button(button)->click();
            });
            QVERIFY(f.PickFromPreviewMenu(Utf8(texts::MENU_BLOCKS)).size() == 19);
            QVERIFY(answer->came);
        };
        choose(QDialogButtonBox::Cancel);
        QVERIFY(state.picture.grid == all);
        QVERIFY(state.chosenTable == nullptr);

        QString count;
        choose(QDialogButtonBox::Ok, &count);
        QVERIFY(state.chosenTable != nullptr);
        QVERIFY(state.chosenTable->count < state.colorTable.count - 1);
        QCOMPARE(count, Utf8(texts::CHOSEN_BEFORE) + QString::number(state.chosenTable->count) + " / " +
                            QString::number(state.colorTable.count) + Utf8(texts::CHOSEN_AFTER));
        QVERIFY(state.picture.grid != all);
        for (const std::int32_t cell : state.picture.grid) QVERIFY(cell < state.chosenTable->count);

        // 另存为颜色表…: refused onto the table read, written elsewhere; then Cancel.
        const QString mine = f.folder.filePath("mine.txt");
        QString refusal;
        std::unique_ptr<ModalAnswer> refused;
        auto answer = WhenModal<QDialog>([&](QDialog& d) {
            for (const QString& target : {COLORS, mine}) {
                auto save = WhenModal<QFileDialog>([&](QFileDialog& files) {
                    QCOMPARE(files.nameFilters(), QStringList{Utf8("颜色表文件(*.txt)")});
                    auto replace = WhenModal<QMessageBox>([](QMessageBox& box) { Answer(box, QMessageBox::Yes); });
                    Type(files, target);
                    if (target != COLORS) return;
                    refused = WhenModal<QMessageBox>([&](QMessageBox& box) {
                        refusal = box.text();
                        Answer(box, QMessageBox::Ok);
                    });
                });
                d.findChild<QPushButton*>("saveAsColorTable")->click();
                QVERIFY(save->came);
            }
            d.reject();
        });
        QVERIFY(f.PickFromPreviewMenu(Utf8(texts::MENU_BLOCKS)).size() == 19);
        QVERIFY(answer->came);
        QCOMPARE(refusal, Utf8(texts::OVERWRITE_COLOR_TABLE));
        QVERIFY(colors.seek(0));
        QCOMPARE(colors.readAll(), table);
        QFile saved(mine);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll().count('\n'), qsizetype(state.chosenTable->count));

        // 材料清单…: the list, saved as CSV, holds the same counts.
        const QString csv = f.folder.filePath("list.csv");
        QStringList shown;
        answer = WhenModal<QDialog>([&](QDialog& d) {
            QCOMPARE(d.windowTitle(), Utf8(texts::MATERIALS_TITLE));
            auto* list = d.findChild<QTableWidget*>("materials");
            QCOMPARE(list->horizontalHeaderItem(2)->text(), Utf8("数量"));
            for (int r = 0; r < list->rowCount(); ++r) shown << list->item(r, 0)->text() + "=" + list->item(r, 2)->text();
            auto save = WhenModal<QFileDialog>([&](QFileDialog& files) { Type(files, csv); });
            d.findChild<QPushButton*>("saveAsCsv")->click();
            QVERIFY(save->came);
            d.reject();
        });
        QVERIFY(f.PickFromPreviewMenu(Utf8(texts::MENU_MATERIALS)).size() == 19);
        QVERIFY(answer->came);
        QFile written(csv);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QStringList counted;
        for (const std::string& row : testing::CsvCounts(written.readAll().toStdString())) {
            counted << QString::fromStdString(row);
        }
        QCOMPARE(counted, shown);
        QVERIFY(!shown.isEmpty());
    }

    // 地图画 through the real menu: the panel shows the maps, the save dialog offers the map
    // formats, a .schematic is refused, and the .litematic written is the one tesselbox-cli makes
    // of the same picture with the same table and options (the writing time aside).
    void mapArtThroughTheMenuWritesWhatTheCommandLineWrites() {
        Fixture f;
        QVERIFY(f.Open());
        const QString picture = f.folder.filePath("wide.png");
        QVERIFY(Gradient(200, 100).save(picture));
        f.Import(picture);
        const AppState& state = f.window.state();
        QStringList shown = f.PickFromPreviewMenu(Utf8(texts::MAPS_2X1));
        QVERIFY(shown.contains("*" + Utf8(texts::MAP_NONE)));
        QVERIFY(state.mapPicture == nullptr);
        shown = f.PickFromPreviewMenu(Utf8(texts::MAP_STAIRCASE));
        QVERIFY(shown.contains("*" + Utf8(texts::MAPS_2X1)));
        QVERIFY(state.mapPicture != nullptr);
        QCOMPARE(state.mapPicture->display, (PictureSize{256, 128}));
        // The maps as a map shows them: at their own size, then one map at twice it, each block a
        // sharp 2 × 2 square; no art above the picture fitted to 128 × 64.
        auto& maps = const_cast<PixelSurface&>(state.mapPicture->preview);
        QTest::qWait(20);  // the repaint
        QImage right = Grab(f.preview());
        for (const QPoint p : {QPoint(10, 10), QPoint(61, 33), QPoint(200, 100)}) {
            QCOMPARE(right.pixel(p), Opaque(maps.At(std::uint32_t(p.x()), std::uint32_t(p.y()))));
        }
        shown = f.PickFromPreviewMenu(Utf8(texts::MAPS_1X1));
        QVERIFY(shown.contains("*" + Utf8(texts::MAP_STAIRCASE)));
        QCOMPARE(state.mapPicture->display, (PictureSize{256, 256}));
        QTest::qWait(20);
        right = Grab(f.preview());
        auto& map = const_cast<PixelSurface&>(state.mapPicture->preview);
        for (const QPoint p : {QPoint(100, 80), QPoint(101, 81), QPoint(37, 150), QPoint(126, 190)}) {
            QCOMPARE(right.pixel(p), Opaque(map.At(std::uint32_t(p.x() / 2), std::uint32_t(p.y() / 2))));
        }
        QCOMPARE(right.pixel(150, 40), 0xFFFFFFFFu);
        QCOMPARE(right.pixel(150, 280), 0xFFFFFFFFu);

        const QString schematic = f.folder.filePath("art.schematic");
        QString refusal;
        std::unique_ptr<ModalAnswer> box;
        auto answer = WhenModal<QFileDialog>([&](QFileDialog& d) {
            QCOMPARE(d.nameFilters().first(), Utf8("litematic文件(*.litematic)"));
            QCOMPARE(d.nameFilters().size(), 4);
            box = WhenModal<QMessageBox>([&](QMessageBox& b) {
                refusal = b.text();
                Answer(b, QMessageBox::Ok);
            });
            Type(d, schematic);
        });
        QTest::mouseClick(f.generate(), Qt::LeftButton);
        QVERIFY(answer->came);
        QCOMPARE(refusal, Utf8(texts::MAP_NOT_SCHEMATIC));
        QVERIFY(!QFile::exists(schematic));

        answer = WhenModal<QFileDialog>([&](QFileDialog& d) { Type(d, f.folder.filePath("art")); });
        QTest::mouseClick(f.generate(), Qt::LeftButton);
        QVERIFY(answer->came);
        QDir cliFolder(f.folder.path());
        QVERIFY(cliFolder.mkdir("cli"));
        const std::vector<std::string> args = {"convert", picture.toStdString(), "--map", "staircase", "--maps", "1x1",
                                               "--palette", COLORS.toStdString(), "-q", "-o",
                                               f.folder.filePath("cli/art.litematic").toStdString()};
        std::ostringstream out, err;
        QCOMPARE(cli::run(args, out, err, cli::Environment{}), cli::EXIT_DONE);
        const std::string mine = Unzipped(f.folder.filePath("art.litematic"));
        QVERIFY(!mine.empty());
        QVERIFY(WithoutTimes(mine) == WithoutTimes(Unzipped(f.folder.filePath("cli/art.litematic"))));
        QVERIFY(QFile::exists(f.folder.filePath("art-maps.txt")));
    }

    // Transparent pixels: white in both panels; translucent ones are blended over white on the
    // left and, being below the alpha threshold, white on the right.
    void transparentPixels() {
        Fixture f;
        QVERIFY(f.Open());
        QImage picture(40, 40, QImage::Format_ARGB32);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
                picture.setPixel(x, y, x < 20 ? qRgba(0, 0, 255, 0) : qRgba(255, 0, 0, 200));
        const QString path = f.folder.filePath("clear.png");
        QVERIFY(picture.save(path));
        f.Import(path);
        const QImage left = Grab(f.source());
        const QImage right = Grab(f.preview());
        QCOMPARE(left.pixel(10, 20), 0xFFFFFFFFu);
        QCOMPARE(right.pixel(10, 20), 0xFFFFFFFFu);
        const QColor blended(left.pixel(30, 20));
        QCOMPARE(blended.red(), 255);
        QVERIFY(qAbs(blended.green() - 55) <= 1 && qAbs(blended.blue() - 55) <= 1);
        QCOMPARE(right.pixel(30, 20), 0xFFFFFFFFu);
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
