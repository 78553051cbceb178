// kestrin-e2e-probe: reads what the end-to-end tests cannot see from the X side. It runs in the
// same Wine prefix as kestrin.exe and answers one command per line on standard input; every
// answer is zero or more lines followed by a line holding a single ".". Texts come back in UTF-8
// with backslashes, tabs and line breaks written as \\, \t and \n.
//
//   find TITLE         handle (hex) of a visible top-level window with exactly this title, or none
//   windows            every visible top-level window: handle, class, title, and "answers" or
//                      "hangs" (whether its thread takes a message within the timeout)
//   children HANDLE    every descendant: handle, control id, class, text
//   child HANDLE CLASS handle of the first descendant of that class, or none
//   text HANDLE        the window's text
//   rows HANDLE        a list box: "count N", "cursel N", then one line per row: 0|1 (selected), text
//   geometry HANDLE    "window L T R B", "client L T R B" (screen), "visible 0|1", "iconic 0|1"
//   row HANDLE N       screen point in the middle of list row N, if it is on view: "X Y"
//   focus HANDLE       of the thread that owns the window: "active H", "focus H ID CLASS", "capture H"
//                      (0 for none), "menu 0|1" (a menu is up), "movesize 0|1" (a window is being
//                      moved or sized)
//   xwindow HANDLE     the X window Wine made for a top-level window (decimal), or 0
//   exepath VALUE      stores the game's registry value ExePath (REG_SZ)
//   noexepath          removes it
//   quit
//
// Messages go with the W variants and a timeout: they cross processes, and a program that hangs
// must fail the test, not the probe.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace {

const wchar_t* const kGameKey = L"Software\\LucasArts\\Star Wars Empire at War\\1.0";
constexpr UINT kTimeoutMs = 3000;

std::string utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr,
                        nullptr);
    return out;
}

std::wstring wide(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

// One line of output per item: nothing the caller splits on may stay in a text.
std::string escaped(const std::wstring& text) {
    std::string out;
    for (const char c : utf8(text)) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

bool send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kTimeoutMs, &answer) == 0) {
        return false;
    }
    result = static_cast<LRESULT>(answer);
    return true;
}

std::wstring windowText(HWND window) {
    LRESULT length = 0;
    if (!send(window, WM_GETTEXTLENGTH, 0, 0, length) || length <= 0) {
        return {};
    }
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
    LRESULT copied = 0;
    if (!send(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), copied)) {
        return {};
    }
    return std::wstring(buffer.data(), static_cast<std::size_t>(copied > 0 ? copied : 0));
}

std::wstring className(HWND window) {
    wchar_t name[256] = L"";
    GetClassNameW(window, name, 256);
    return name;
}

std::string handleText(HWND window) {
    char text[32];
    std::snprintf(text, sizeof text, "%llx",
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
    return text;
}

HWND parseHandle(const std::string& text) {
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::strtoull(text.c_str(), nullptr, 16)));
}

std::vector<HWND> topLevelWindows() {
    std::vector<HWND> windows;
    EnumWindows(
        [](HWND window, LPARAM list) -> BOOL {
            if (IsWindowVisible(window)) {
                reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> descendants(HWND parent) {
    std::vector<HWND> windows;
    EnumChildWindows(
        parent,
        [](HWND window, LPARAM list) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

void find(const std::string& title) {
    const std::wstring wanted = wide(title);
    for (HWND window : topLevelWindows()) {
        if (windowText(window) == wanted) {
            std::cout << handleText(window) << '\n';
            return;
        }
    }
    std::cout << "none\n";
}

// A window whose thread is stuck somewhere (not in its message loop) answers nothing, its title
// included: the listing says so rather than showing an empty title.
void listWindows() {
    for (HWND window : topLevelWindows()) {
        LRESULT ignored = 0;
        const bool answers = send(window, WM_NULL, 0, 0, ignored);
        std::cout << handleText(window) << '\t' << escaped(className(window)) << '\t'
                  << escaped(windowText(window)) << '\t' << (answers ? "answers" : "hangs") << '\n';
    }
}

void children(HWND parent) {
    for (HWND window : descendants(parent)) {
        std::cout << handleText(window) << '\t' << GetDlgCtrlID(window) << '\t' << escaped(className(window))
                  << '\t' << escaped(windowText(window)) << '\n';
    }
}

void child(HWND parent, const std::string& wantedClass) {
    const std::wstring wanted = wide(wantedClass);
    for (HWND window : descendants(parent)) {
        if (lstrcmpiW(className(window).c_str(), wanted.c_str()) == 0) {
            std::cout << handleText(window) << '\n';
            return;
        }
    }
    std::cout << "none\n";
}

void rows(HWND list) {
    LRESULT count = 0;
    LRESULT cursel = 0;
    if (!send(list, LB_GETCOUNT, 0, 0, count) || !send(list, LB_GETCURSEL, 0, 0, cursel)) {
        std::cout << "error no answer\n";
        return;
    }
    std::cout << "count " << count << '\n' << "cursel " << cursel << '\n';
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = 0;
        LRESULT selected = 0;
        send(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0, length);
        send(list, LB_GETSEL, static_cast<WPARAM>(i), 0, selected);
        std::vector<wchar_t> buffer(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
        LRESULT copied = 0;
        send(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer.data()), copied);
        std::cout << (selected > 0 ? 1 : 0) << '\t'
                  << escaped(std::wstring(buffer.data(), static_cast<std::size_t>(copied > 0 ? copied : 0)))
                  << '\n';
    }
}

void geometry(HWND window) {
    RECT outer{};
    RECT client{};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    POINT topLeft{client.left, client.top};
    POINT bottomRight{client.right, client.bottom};
    ClientToScreen(window, &topLeft);
    ClientToScreen(window, &bottomRight);
    std::cout << "window " << outer.left << ' ' << outer.top << ' ' << outer.right << ' ' << outer.bottom
              << '\n'
              << "client " << topLeft.x << ' ' << topLeft.y << ' ' << bottomRight.x << ' ' << bottomRight.y
              << '\n'
              << "visible " << (IsWindowVisible(window) ? 1 : 0) << '\n'
              << "iconic " << (IsIconic(window) ? 1 : 0) << '\n';
}

// From the list's own top row and row height, which need no pointer to cross processes.
void row(HWND list, long index) {
    LRESULT top = 0;
    LRESULT height = 0;
    if (!send(list, LB_GETTOPINDEX, 0, 0, top) || !send(list, LB_GETITEMHEIGHT, 0, 0, height) ||
        height <= 0) {
        std::cout << "error no answer\n";
        return;
    }
    RECT client{};
    GetClientRect(list, &client);
    const long y =
        (index - static_cast<long>(top)) * static_cast<long>(height) + static_cast<long>(height) / 2;
    if (index < top || y >= client.bottom) {
        std::cout << "error row not on view\n";
        return;
    }
    POINT point{client.right / 2, y};
    ClientToScreen(list, &point);
    std::cout << point.x << ' ' << point.y << '\n';
}

void focus(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) {
        std::cout << "error no thread\n";
        return;
    }
    std::cout << "active " << handleText(info.hwndActive) << '\n'
              << "focus " << handleText(info.hwndFocus) << ' '
              << (info.hwndFocus != nullptr ? GetDlgCtrlID(info.hwndFocus) : 0) << ' '
              << (info.hwndFocus != nullptr ? escaped(className(info.hwndFocus)) : std::string("-")) << '\n'
              << "capture " << handleText(info.hwndCapture) << '\n'
              << "menu " << ((info.flags & GUI_INMENUMODE) != 0 ? 1 : 0) << '\n'
              << "movesize " << ((info.flags & GUI_INMOVESIZE) != 0 ? 1 : 0) << '\n';
}

// Wine keeps it as a window property. (A child's Direct3D picture goes to an off-screen X window
// that no property names; the tests find that one by its size.)
void xwindow(HWND window) {
    std::cout << reinterpret_cast<UINT_PTR>(GetPropW(window, L"__wine_x11_whole_window")) << '\n';
}

void setExePath(const std::string& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kGameKey, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        std::cout << "error cannot create key\n";
        return;
    }
    const std::wstring text = wide(value);
    const LONG result =
        RegSetValueExW(key, L"ExePath", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    std::cout << (result == ERROR_SUCCESS ? "ok" : "error cannot set value") << '\n';
}

void removeExePath() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kGameKey, 0, KEY_SET_VALUE | KEY_WOW64_32KEY, &key) !=
        ERROR_SUCCESS) {
        std::cout << "ok\n";
        return;
    }
    const LONG result = RegDeleteValueW(key, L"ExePath");
    RegCloseKey(key);
    std::cout << (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND ? "ok" : "error cannot delete")
              << '\n';
}

} // namespace

int main() {
    // Lines end in \n alone: the reader is a shell script.
    _setmode(_fileno(stdout), _O_BINARY);
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::size_t space = line.find(' ');
        const std::string command = line.substr(0, space);
        const std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
        const std::size_t second = rest.find(' ');
        const std::string first = rest.substr(0, second);
        const std::string tail = second == std::string::npos ? std::string() : rest.substr(second + 1);
        if (command == "quit") {
            break;
        } else if (command == "find") {
            find(rest);
        } else if (command == "windows") {
            listWindows();
        } else if (command == "children") {
            children(parseHandle(first));
        } else if (command == "child") {
            child(parseHandle(first), tail);
        } else if (command == "text") {
            std::cout << escaped(windowText(parseHandle(first))) << '\n';
        } else if (command == "rows") {
            rows(parseHandle(first));
        } else if (command == "geometry") {
            geometry(parseHandle(first));
        } else if (command == "row") {
            row(parseHandle(first), std::strtol(tail.c_str(), nullptr, 10));
        } else if (command == "focus") {
            focus(parseHandle(first));
        } else if (command == "xwindow") {
            xwindow(parseHandle(first));
        } else if (command == "exepath") {
            setExePath(rest);
        } else if (command == "noexepath") {
            removeExePath();
        } else {
            std::cout << "error unknown command " << command << '\n';
        }
        std::cout << ".\n" << std::flush;
    }
    return 0;
}
