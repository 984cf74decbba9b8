#include "qt/MainWindow.h"

#include "app/Commands.h"
#include "app/ConversionMenu.h"
#include "app/Texts.h"
#include "app/WindowLayout.h"
#include "qt/Panels.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTranslator>

#include <utility>

namespace tesselbox::qt {
namespace {

QRect ToQRect(layout::Rect r) { return {r.x, r.y, r.width, r.height}; }

class PanelWidget : public QWidget {
public:
    PanelWidget(const AppState& state, int controlId, QWidget* parent)
        : QWidget(parent), state_(state), controlId_(controlId) {
        setAttribute(Qt::WA_OpaquePaintEvent);  // the draw functions cover every pixel
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        PanelPainter canvas(painter);
        DispatchDrawItem(state_, controlId_, canvas);
    }

private:
    const AppState& state_;
    int controlId_;
};

}  // namespace

void ConfigureApplication(QApplication& application) {
    application.setApplicationName(texts::APP_NAME);
    application.setApplicationVersion(TESSELBOX_VERSION);
    application.setDesktopFileName("tesselbox");
    application.setWindowIcon(QIcon(":/tesselbox/icon-64.png"));
    InstallQtTranslations(application, QLocale::system());
}

QTranslator* InstallQtTranslations(QApplication& application, const QLocale& locale) {
    auto* translator = new QTranslator(&application);
    if (!translator->load(locale, "qt", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

MainWindow::MainWindow(std::filesystem::path colorTablePath) {
    state_.colorTablePath = std::move(colorTablePath);
    setWindowTitle(texts::APP_NAME);
    // Caption, system menu, minimize and close; no maximize button, and a fixed size.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(layout::CLIENT_WIDTH, layout::CLIENT_HEIGHT);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(layout::CenteredX(area.width()), layout::CenteredY(area.height()));
    }
}

MainWindow::~MainWindow() {
    OnDestroy(state_);
    EndBusyCursor();
}

void MainWindow::EndBusyCursor() {
    if (busyCursor_) QApplication::restoreOverrideCursor();
    busyCursor_ = false;
}

bool MainWindow::Start() {
    if (!OnCreate(state_)) return false;
    started_ = true;

    auto addButton = [this](const char* text, layout::Rect where, int controlId) {
        auto* button = new QPushButton(QString::fromUtf8(text), this);
        button->setGeometry(ToQRect(where));
        connect(button, &QPushButton::clicked, this,
                [this, controlId] {
                    commandRunning_ = true;
                    DispatchCommand(state_, 0, controlId);
                    commandRunning_ = false;
                    EndBusyCursor();
                });
        return button;
    };
    chooseButton_ = addButton(texts::CHOOSE_PICTURE, layout::CHOOSE_BUTTON,
                              layout::IDC_CHOOSE_PICTURE);
    generateButton_ = addButton(texts::GENERATE, layout::GENERATE_BUTTON, layout::IDC_GENERATE);

    sourcePanel_ = new PanelWidget(state_, layout::IDC_SOURCE_PANEL, this);
    sourcePanel_->setGeometry(ToQRect(layout::SOURCE_PANEL));
    previewPanel_ = new PanelWidget(state_, layout::IDC_PREVIEW_PANEL, this);
    previewPanel_->setGeometry(ToQRect(layout::PREVIEW_PANEL));
    previewPanel_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(previewPanel_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { ShowConversionMenu(previewPanel_->mapToGlobal(at)); });
    return true;
}

void MainWindow::ShowConversionMenu(const QPoint& where) {
    QMenu menu(this);
    for (const ConversionMenuItem& item : ConversionMenu(state_)) {
        if (item.startsGroup) menu.addSeparator();
        QAction* action = menu.addAction(QString::fromUtf8(item.text));
        action->setCheckable(item.checkable);
        action->setChecked(item.checked);
        action->setData(item.id);
    }
    const QAction* picked = menu.exec(where);
    if (picked == nullptr) return;
    commandRunning_ = true;
    ChooseConversion(state_, picked->data().toInt());
    commandRunning_ = false;
    EndBusyCursor();
}

QPushButton* MainWindow::Button(int controlId) const {
    if (controlId == layout::IDC_CHOOSE_PICTURE) return chooseButton_;
    if (controlId == layout::IDC_GENERATE) return generateButton_;
    return nullptr;
}

QWidget* MainWindow::Panel(int controlId) const {
    if (controlId == layout::IDC_SOURCE_PANEL) return sourcePanel_;
    if (controlId == layout::IDC_PREVIEW_PANEL) return previewPanel_;
    return nullptr;
}

bool MainWindow::focusNextPrevChild(bool) { return false; }

void MainWindow::closeEvent(QCloseEvent* event) {
    if (busyWork_) {
        event->ignore();  // the work under way writes into this window's state
        return;
    }
    QWidget::closeEvent(event);
}

void MainWindow::DialogClosed() {
    if (!commandRunning_) return;
    repaint();
    if (!busyCursor_) QApplication::setOverrideCursor(Qt::WaitCursor);
    busyCursor_ = true;
}

}  // namespace tesselbox::qt

