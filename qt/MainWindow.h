// The Tesselbox main window on Qt: two panels and two buttons over the core's commands. It owns the
// program's one AppState.
#pragma once

#include "app/AppState.h"
#include "qt/WindowServices.h"

#include <QWidget>

#include <filesystem>

class QApplication;
class QLocale;
class QTranslator;
class QCloseEvent;
class QPoint;
class QPushButton;

namespace tesselbox::qt {

// Application name, version, icon and Qt's own texts in the user's language, set before the first
// window.
void ConfigureApplication(QApplication& application);
// Qt's translations for that locale (its dialogs' and buttons' texts), owned by the application;
// null where there are none (English needs none).
QTranslator* InstallQtTranslations(QApplication& application, const QLocale& locale);

class MainWindow : public QWidget {
public:
    explicit MainWindow(std::filesystem::path colorTablePath = "Colors.txt");
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Loads the color table and builds the controls. False after the error box: the window must
    // then never be shown.
    bool Start();
    bool Started() const { return started_; }

    const AppState& state() const { return state_; }
    WindowServices& services() { return services_; }
    QPushButton* Button(int controlId) const;
    QWidget* Panel(int controlId) const;

    // The work under way, through the window services.
    void SetBusyWork(bool busy) { busyWork_ = busy; }
    // Around each dialog of a command. Once its last dialog has closed a command may work a while
    // (a large picture kept at full size): the window repaints what the dialog covered at once and
    // shows a busy cursor until the command returns.
    void DialogOpening() { EndBusyCursor(); }
    void DialogClosed();
    void EndBusyCursor();

protected:
    // Tab does not move the focus: the window has two buttons and two panels, and the buttons are
    // clicked, so a focus frame wandering between them would only be noise.
    bool focusNextPrevChild(bool next) override;
    // Refused while a picture is being made on another thread.
    void closeEvent(QCloseEvent* event) override;

private:
    // The preview panel's right-click menu, at a point on the screen.
    void ShowConversionMenu(const QPoint& where);

    WindowServices services_{*this};
    AppState state_{services_};
    bool started_ = false;
    QPushButton* chooseButton_ = nullptr;
    QPushButton* generateButton_ = nullptr;
    QWidget* sourcePanel_ = nullptr;
    QWidget* previewPanel_ = nullptr;
    bool commandRunning_ = false;
    bool busyCursor_ = false;
    bool busyWork_ = false;  // RunBusy is waiting for its work
};

}  // namespace tesselbox::qt
