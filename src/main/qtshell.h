#pragma once

#include "main/shellface.h"

#include <QMainWindow>
#include <QMessageBox>

#include <exception>
#include <functional>

class Application;
class QLabel;
class QListWidget;
class RenderArea;

// A modal message box with an OK button. As on Windows, Ctrl+C in it copies the whole box as text
// (title, text and buttons between dashed lines), so that an error report can be pasted into a bug
// report; Qt's own boxes do that only on Windows.
void showMessageBox(QMessageBox::Icon icon, const QString& title, const QString& text);

// The Linux face of the shell, in Qt Widgets: the main window "Kestrin" with its menu, the
// 200-pixel mesh list and the drawing area on the native renderer, a status line under them, the
// file and folder dialogs, the "Select a file" picker and the message boxes. A file dropped on the
// window is opened.
class QtShell : public ShellFace {
public:
    QtShell();
    ~QtShell() override;
    QtShell(const QtShell&) = delete;
    QtShell& operator=(const QtShell&) = delete;

    // Lets the window's events reach the application from now on.
    void attach(Application* application);

    void* renderWindowHandle() override;
    void mainClientSize(int& width, int& height) override;
    void renderClientSize(int& width, int& height) override;
    void showMainWindow() override;
    // Runs until File > Exit or the close box; an error raised by a handler ends the loop and
    // is raised again here.
    void runEventLoop() override;
    void clearMeshList() override;
    void addMeshListRow(const std::string& text) override;
    std::vector<bool> meshListSelection() override;
    void invalidateRenderWindow(bool paintNow) override;
    void beginDrag() override;
    void endDrag() override;
    bool askModelFile(std::string& path, std::string& extension) override;
    int pickArchiveEntry(const std::vector<std::pair<std::size_t, std::string>>& entries) override;
    bool askDataFolder(std::string& folder) override;
    void showError(const std::string& text) override;
    void showMessage(const std::string& text) override;
    void showAbout(const std::string& text) override;
    // The status line under the drawing area names the model and says what it lacks.
    void modelShown(const std::string& name, const Model& model, FileManager& files) override;

private:
    void guarded(const std::function<void()>& handler);
    // Where the open dialog starts: the folder last chosen in it, else the data folder's models.
    QString openFolder() const;

    QMainWindow m_window;
    QWidget* m_client;
    QListWidget* m_list;
    RenderArea* m_renderArea;
    QLabel* m_status;
    QString m_lastFolder;
    Application* m_application = nullptr;
    std::exception_ptr m_pending;
};
