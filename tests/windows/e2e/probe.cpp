// kestrin-e2e-probe: reads what the end-to-end tests cannot see from the X side, from inside the
// Wine prefix kestrin.exe runs in. It answers each command and window number on standard input
// ("windows 0", "quit 0" too) with zero or more lines and then a line holding ".". Texts come back
// in UTF-8, with backslashes, tabs and line breaks written as \\, \t, \n and \r.
//
//   windows 0|1       every visible top-level window, a line each: number, control id, class, text,
//                     and with 1, whether its thread takes messages ("answers" or "hangs")
//   children WINDOW   every descendant of the window, a line each as above
//   rows WINDOW       a list box: "cursel N top N height N" (the current row, the first row on
//                     view, the rows' height), then a line per row: 0|1 (selected), text
//   geometry WINDOW   "window L T R B", "client L T R B" (on the screen), "iconic 0|1"
//   focus WINDOW      of the window's thread: "active W", "focus W", "capture W" (0 for none),
//                     "menu 0|1" (a menu is up), "movesize 0|1" (a window is being moved or sized)
//   xwindow WINDOW    the X window Wine made for a top-level window
//
// Messages cross processes with the W variants and a timeout: a program that hangs must fail the
// test, not the probe.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace {

bool send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    DWORD_PTR answer = 0;
    const bool answered =
        SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 3000, &answer);
    result = static_cast<LRESULT>(answer);
    return answered;
}

std::string escaped(const std::wstring& text) {
    std::string bytes(text.size() * 3, '\0');
    bytes.resize(static_cast<std::size_t>(
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                            static_cast<int>(bytes.size()), nullptr, nullptr)));
    std::string out;
    for (const char c : bytes) {
        const std::size_t special = std::string("\\\t\n\r").find(c);
        out += special == std::string::npos ? std::string(1, c) : std::string{'\\', "\\tnr"[special]};
    }
    return out;
}

// Up to the text's first NUL: a list row's length may count more than its text.
std::string textOf(HWND window, UINT lengthMessage = WM_GETTEXTLENGTH, UINT textMessage = WM_GETTEXT,
                   WPARAM row = 0) {
    LRESULT length = 0;
    if (!send(window, lengthMessage, row, 0, length) || length <= 0) {
        return {};
    }
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
    send(window, textMessage, textMessage == WM_GETTEXT ? buffer.size() : row,
         reinterpret_cast<LPARAM>(buffer.data()), length);
    return escaped(buffer.data());
}

UINT_PTR number(HWND window) {
    return reinterpret_cast<UINT_PTR>(window);
}

// The visible top-level windows, or every descendant of parent.
std::vector<HWND> windows(HWND parent) {
    std::vector<HWND> found;
    const WNDENUMPROC add = [](HWND window, LPARAM list) -> BOOL {
        if (GetAncestor(window, GA_PARENT) != GetDesktopWindow() || IsWindowVisible(window)) {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
        }
        return TRUE;
    };
    parent != nullptr ? EnumChildWindows(parent, add, reinterpret_cast<LPARAM>(&found))
                      : EnumWindows(add, reinterpret_cast<LPARAM>(&found));
    return found;
}

void answer(const std::string& command, HWND window) {
    LRESULT value = 0;
    const auto ask = [&](UINT message, WPARAM wParam) {
        return send(window, message, wParam, 0, value) ? value : -1;
    };
    RECT rect[2] = {};
    GUITHREADINFO info{sizeof info, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, {}};
    if (command == "windows" || command == "children") {
        // Asking whether a window's thread takes messages can keep a box that is just coming up
        // from taking the keyboard: only when asked for.
        const bool alive = command == "windows" && window != nullptr;
        for (HWND w : windows(command == "windows" ? nullptr : window)) {
            wchar_t className[256] = L"";
            GetClassNameW(w, className, 256);
            const char* state = !alive ? "" : send(w, WM_NULL, 0, 0, value) ? "answers" : "hangs";
            std::cout << number(w) << '\t' << GetDlgCtrlID(w) << '\t' << escaped(className) << '\t'
                      << textOf(w) << '\t' << state << '\n';
        }
    } else if (command == "rows") {
        const LRESULT count = ask(LB_GETCOUNT, 0);
        std::cout << "cursel " << ask(LB_GETCURSEL, 0) << " top " << ask(LB_GETTOPINDEX, 0) << " height "
                  << ask(LB_GETITEMHEIGHT, 0) << '\n';
        for (LRESULT i = 0; i < count; ++i) {
            std::cout << (ask(LB_GETSEL, static_cast<WPARAM>(i)) > 0 ? 1 : 0) << '\t'
                      << textOf(window, LB_GETTEXTLEN, LB_GETTEXT, static_cast<WPARAM>(i)) << '\n';
        }
    } else if (command == "geometry") {
        GetWindowRect(window, &rect[0]);
        GetClientRect(window, &rect[1]);
        MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect[1]), 2);
        for (const auto& [name, r] : {std::pair{"window ", rect[0]}, std::pair{"client ", rect[1]}}) {
            std::cout << name << r.left << ' ' << r.top << ' ' << r.right << ' ' << r.bottom << '\n';
        }
        std::cout << "iconic " << (IsIconic(window) ? 1 : 0) << '\n';
    } else if (command == "focus" && GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) {
        std::cout << "active " << number(info.hwndActive) << "\nfocus " << number(info.hwndFocus)
                  << "\ncapture " << number(info.hwndCapture) << "\nmenu "
                  << ((info.flags & GUI_INMENUMODE) != 0 ? 1 : 0) << "\nmovesize "
                  << ((info.flags & GUI_INMOVESIZE) != 0 ? 1 : 0) << '\n';
    } else if (command == "xwindow") {
        // Wine keeps it as a window property.
        std::cout << reinterpret_cast<UINT_PTR>(GetPropW(window, L"__wine_x11_whole_window")) << '\n';
    } else {
        std::cout << "error " << command << '\n';
    }
}

} // namespace

int main() {
    // Lines end in \n alone: the reader is a shell script.
    _setmode(_fileno(stdout), _O_BINARY);
    std::string command;
    unsigned long long window = 0;
    while (std::cin >> command >> window && command != "quit") {
        answer(command, reinterpret_cast<HWND>(static_cast<UINT_PTR>(window)));
        std::cout << ".\n" << std::flush;
    }
    return 0;
}
