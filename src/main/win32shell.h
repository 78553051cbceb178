#pragma once

#include "main/shellface.h"

#include <windows.h>

#include <exception>

class Application;

// The Windows face of the shell: the main window "Kestrin" with its menu, the 200-pixel mesh list
// and the "AloRenderWindow" drawing area, the common dialogs, the "Select a file" picker and the
// message boxes.
class Win32Shell : public ShellFace {
public:
    explicit Win32Shell(HINSTANCE instance);
    // Destroys the drawing area, the list and the main window, in that order.
    ~Win32Shell() override;
    Win32Shell(const Win32Shell&) = delete;
    Win32Shell& operator=(const Win32Shell&) = delete;

    // Registers the two classes and creates the three windows, the main one hidden; Exception
    // "Unable to register window class" or "Unable to create main window".
    void createWindows();
    // Lets the window procedures reach the application from now on.
    void attach(Application* application);

    void* renderWindowHandle() override { return m_renderWindow; }
    void mainClientSize(int& width, int& height) override;
    void renderClientSize(int& width, int& height) override;
    void showMainWindow() override;
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

    // The folder of the game's executable from the registry, or empty.
    static std::string readRegistryDataFolder();
    // The game's default folder under Program Files (shown first in a box), or empty.
    static std::string defaultDataFolder();

private:
    static LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK renderWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK archivePickerProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    // Runs a handler; an error it raises ends the event loop and is raised again after it.
    template <class Handler>
    static void guarded(HWND window, Handler&& handler);

    HINSTANCE m_instance;
    HWND m_mainWindow = nullptr;
    HWND m_listBox = nullptr;
    HWND m_renderWindow = nullptr;
    HACCEL m_accelerators = nullptr;
    Application* m_application = nullptr;
    std::exception_ptr m_pending;
};
