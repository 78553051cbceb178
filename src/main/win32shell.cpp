#include "main/win32shell.h"

#include "main/application.h"
#include "main/commandline.h"
#include "main/exception.h"
#include "main/resource.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

namespace {

constexpr int kListWidth = 200;
constexpr WORD kSelectionChange = 1; // LBN_SELCHANGE, and an accelerator's code
constexpr WORD kDoubleClick = 2;     // LBN_DBLCLK

const char* const kMainClass = "Kestrin";
const char* const kRenderClass = "AloRenderWindow";
const char* const kGameKey = "Software\\LucasArts\\Star Wars Empire at War\\1.0";

Win32Shell* shellOf(HWND window) {
    return reinterpret_cast<Win32Shell*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

} // namespace

Win32Shell::Win32Shell(HINSTANCE instance) : m_instance(instance) {}

Win32Shell::~Win32Shell() {
    // The application is gone before the shell: messages sent while the windows go must not reach it.
    m_application = nullptr;
    // A handle already gone makes the call fail harmlessly.
    DestroyWindow(m_renderWindow);
    DestroyWindow(m_listBox);
    DestroyWindow(m_mainWindow);
}

void Win32Shell::createWindows() {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = &Win32Shell::mainWindowProc;
    wc.hInstance = m_instance;
    wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
    wc.lpszClassName = kMainClass;
    if (RegisterClassExA(&wc) == 0) {
        throw Exception(__FILE__, __LINE__, "Unable to register window class");
    }
    wc.lpfnWndProc = &Win32Shell::renderWindowProc;
    wc.lpszClassName = kRenderClass;
    if (RegisterClassExA(&wc) == 0) {
        throw Exception(__FILE__, __LINE__, "Unable to register window class");
    }

    m_mainWindow =
        CreateWindowExA(0, kMainClass, "Kestrin", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, m_instance, nullptr);
    if (m_mainWindow == nullptr) {
        throw Exception(__FILE__, __LINE__, "Unable to create main window");
    }
    RECT client{};
    GetClientRect(m_mainWindow, &client);
    m_listBox = CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "",
                                WS_CHILD | WS_VISIBLE | LBS_NOTIFY | LBS_MULTIPLESEL | LBS_NOINTEGRALHEIGHT,
                                0, 0, kListWidth, client.bottom, m_mainWindow, nullptr, m_instance, nullptr);
    if (m_listBox == nullptr) {
        DestroyWindow(m_mainWindow);
        m_mainWindow = nullptr;
        throw Exception(__FILE__, __LINE__, "Unable to create main window");
    }
    SendMessageA(m_listBox, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    m_renderWindow =
        CreateWindowExA(WS_EX_CLIENTEDGE, kRenderClass, "", WS_CHILD | WS_VISIBLE, kListWidth, 0,
                        client.right - kListWidth, client.bottom, m_mainWindow, nullptr, m_instance, nullptr);
    if (m_renderWindow == nullptr) {
        DestroyWindow(m_listBox);
        DestroyWindow(m_mainWindow);
        m_listBox = nullptr;
        m_mainWindow = nullptr;
        throw Exception(__FILE__, __LINE__, "Unable to create main window");
    }
}

void Win32Shell::attach(Application* application) {
    m_application = application;
    SetWindowLongPtrA(m_mainWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrA(m_renderWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void Win32Shell::mainClientSize(int& width, int& height) {
    RECT client{};
    GetClientRect(m_mainWindow, &client);
    width = client.right;
    height = client.bottom;
}

void Win32Shell::renderClientSize(int& width, int& height) {
    RECT client{};
    GetClientRect(m_renderWindow, &client);
    width = client.right;
    height = client.bottom;
}

void Win32Shell::showMainWindow() {
    DragAcceptFiles(m_mainWindow, TRUE);
    ShowWindow(m_mainWindow, SW_SHOW);
    m_accelerators = LoadAcceleratorsA(m_instance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
}

void Win32Shell::runEventLoop() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) != 0) {
        if (TranslateAcceleratorA(m_mainWindow, m_accelerators, &message) == 0) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    if (m_pending) {
        std::rethrow_exception(std::exchange(m_pending, nullptr));
    }
}

template <class Handler>
void Win32Shell::guarded(HWND window, Handler&& handler) {
    Win32Shell* shell = shellOf(window);
    if (shell == nullptr || shell->m_application == nullptr || shell->m_pending) {
        return;
    }
    // Errors do not travel through the system's frames: the loop ends and raises them itself.
    try {
        handler(*shell, *shell->m_application);
    } catch (...) {
        shell->m_pending = std::current_exception();
        PostQuitMessage(0);
    }
}

LRESULT CALLBACK Win32Shell::mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        guarded(window, [](Win32Shell& shell, Application& app) {
            int width = 0;
            int height = 0;
            shell.mainClientSize(width, height);
            MoveWindow(shell.m_listBox, 0, 0, kListWidth, height, TRUE);
            MoveWindow(shell.m_renderWindow, kListWidth, 0, width - kListWidth, height, TRUE);
            app.resized();
        });
        break;
    case WM_CLOSE:
        PostQuitMessage(0);
        break;
    case WM_DROPFILES: {
        // The first file dropped is opened, as if chosen in the open dialog.
        const auto drop = reinterpret_cast<HDROP>(wParam);
        char path[MAX_PATH] = "";
        const bool named = DragQueryFileA(drop, 0, path, sizeof path) > 0;
        DragFinish(drop);
        if (named) {
            guarded(window, [&path](Win32Shell&, Application& app) { app.openFile(path); });
        }
        break;
    }
    case WM_COMMAND: {
        const WORD code = HIWORD(wParam);
        const WORD id = LOWORD(wParam);
        if (code == kSelectionChange && lParam != 0) {
            guarded(window, [](Win32Shell&, Application& app) { app.selectionChanged(); });
        } else if (code == 0 || (code == kSelectionChange && lParam == 0)) {
            if (id == ID_FILE_EXIT) {
                PostQuitMessage(0);
            } else if (id == ID_HELP_ABOUT) {
                guarded(window,
                        [](Win32Shell& shell, Application&) { shell.showAbout(Application::kAboutText); });
            } else if (id == ID_FILE_OPEN) {
                guarded(window, [](Win32Shell&, Application& app) { app.openModel(); });
            }
        }
        break;
    }
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK Win32Shell::renderWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETFOCUS:
        return 0;
    case WM_PAINT:
        guarded(window, [](Win32Shell&, Application& app) { app.paint(); });
        break;
    case WM_MOUSEMOVE:
        guarded(window, [lParam](Win32Shell&, Application& app) {
            app.pointerMoved(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        });
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        guarded(window, [message, lParam](Win32Shell&, Application& app) {
            app.buttonDown(message == WM_LBUTTONDOWN, LOWORD(lParam), HIWORD(lParam));
        });
        break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        guarded(window, [](Win32Shell&, Application& app) { app.buttonUp(); });
        break;
    case WM_MOUSEWHEEL:
        guarded(window, [wParam](Win32Shell&, Application& app) {
            app.wheelTurned(static_cast<short>(HIWORD(wParam)));
        });
        break;
    case WM_KEYDOWN:
        // F frames the model and Home brings the starting view back; with Ctrl they are no keys of ours.
        if (GetKeyState(VK_CONTROL) >= 0 && (wParam == 'F' || wParam == VK_HOME)) {
            guarded(window, [wParam](Win32Shell&, Application& app) {
                wParam == 'F' ? app.frameModel() : app.resetView();
            });
        }
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void Win32Shell::clearMeshList() {
    while (SendMessageA(m_listBox, LB_DELETESTRING, 0, 0) > 0) {
    }
}

void Win32Shell::addMeshListRow(const std::string& text) {
    SendMessageA(m_listBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::vector<bool> Win32Shell::meshListSelection() {
    const LRESULT count = SendMessageA(m_listBox, LB_GETCOUNT, 0, 0);
    std::vector<bool> selected;
    for (LRESULT i = 0; i < count; ++i) {
        selected.push_back(SendMessageA(m_listBox, LB_GETSEL, static_cast<WPARAM>(i), 0) > 0);
    }
    return selected;
}

void Win32Shell::invalidateRenderWindow(bool paintNow) {
    InvalidateRect(m_renderWindow, nullptr, FALSE);
    if (paintNow) {
        UpdateWindow(m_renderWindow);
    }
}

void Win32Shell::beginDrag() {
    SetCapture(m_renderWindow);
    SetFocus(m_renderWindow);
}

void Win32Shell::endDrag() {
    ReleaseCapture();
}

bool Win32Shell::askModelFile(std::string& path, std::string& extension) {
    char file[MAX_PATH] = "";
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_mainWindow;
    ofn.hInstance = m_instance;
    ofn.lpstrFilter = "Alamo Files (*.alo, *.meg)\0*.ALO; *.MEG\0All Files (*.*)\0*.*\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (GetOpenFileNameA(&ofn) == 0) {
        return false;
    }
    path = file;
    extension = ofn.nFileExtension != 0 ? path.substr(ofn.nFileExtension) : std::string();
    return true;
}

int Win32Shell::pickArchiveEntry(const std::vector<std::pair<std::size_t, std::string>>& entries) {
    return static_cast<int>(DialogBoxParamA(m_instance, MAKEINTRESOURCEA(IDD_SELECTFILE), m_mainWindow,
                                            &Win32Shell::archivePickerProc,
                                            reinterpret_cast<LPARAM>(&entries)));
}

INT_PTR CALLBACK Win32Shell::archivePickerProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND list = GetDlgItem(dialog, IDC_FILELIST);
    if (message == WM_INITDIALOG) {
        const auto& entries =
            *reinterpret_cast<const std::vector<std::pair<std::size_t, std::string>>*>(lParam);
        for (const auto& [index, name] : entries) {
            // The list sorts itself; each row keeps its entry's index as its data.
            const LRESULT row = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
            SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(row), static_cast<LPARAM>(index));
        }
        SetFocus(list);
        return FALSE;
    }
    if (message != WM_COMMAND) {
        return FALSE;
    }
    const WORD code = HIWORD(wParam);
    const WORD id = LOWORD(wParam);
    if ((code == BN_CLICKED && id == IDOK) || (code == kDoubleClick && id == IDC_FILELIST)) {
        const LRESULT row = SendMessageA(list, LB_GETCURSEL, 0, 0);
        if (row != LB_ERR) {
            EndDialog(dialog, SendMessageA(list, LB_GETITEMDATA, static_cast<WPARAM>(row), 0));
        }
    } else if (code == BN_CLICKED || code == kDoubleClick) {
        EndDialog(dialog, -1);
    }
    return TRUE;
}

bool Win32Shell::askDataFolder(std::string& folder) {
    BROWSEINFOA info{};
    info.hwndOwner = m_mainWindow;
    info.lpszTitle = Application::kFolderPrompt;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE item = SHBrowseForFolderA(&info);
    if (item == nullptr) {
        return false;
    }
    char path[MAX_PATH];
    if (SHGetPathFromIDListA(item, path)) {
        folder = path;
    }
    CoTaskMemFree(item);
    return true;
}

void Win32Shell::showError(const std::string& text) {
    MessageBoxA(nullptr, text.c_str(), nullptr, MB_ICONERROR);
}

void Win32Shell::showMessage(const std::string& text) {
    MessageBoxA(nullptr, text.c_str(), nullptr, MB_OK);
}

void Win32Shell::showAbout(const std::string& text) {
    MessageBoxA(nullptr, text.c_str(), "About", MB_OK);
}

std::string Win32Shell::readRegistryDataFolder() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kGameKey, 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &key) !=
        ERROR_SUCCESS) {
        return "";
    }
    char value[MAX_PATH] = "";
    DWORD size = sizeof value;
    const LONG result =
        RegQueryValueExA(key, "ExePath", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) {
        return "";
    }
    // A value stored without its terminator still ends inside the buffer.
    return folderOfExecutable(std::string(value, std::min<DWORD>(size, sizeof value)));
}

std::string Win32Shell::defaultDataFolder() {
    char programFiles[MAX_PATH];
    if (SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, programFiles) < 0) {
        return "";
    }
    MessageBoxA(nullptr, programFiles, nullptr, MB_OK);
    return withTrailingBackslash(programFiles) + "LucasArts\\Star Wars Empire at War\\GameData";
}
