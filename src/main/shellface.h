#pragma once

#include <string>
#include <vector>

class FileManager;
class MegaFile;
class Model;

// What the shell asks of the windowing system it runs on: the mesh list, the drawing area, the
// dialogs and message boxes. The Win32 program and other faces implement it; the shell's logic
// (start-up, opening and showing models, mouse control) is written once against it.
class ShellFace {
public:
    virtual ~ShellFace() = default;

    // The drawing area's native window handle, for the Engine.
    virtual void* renderWindowHandle() = 0;
    // The main window's client size.
    virtual void mainClientSize(int& width, int& height) = 0;
    // The drawing area's client size.
    virtual void renderClientSize(int& width, int& height) = 0;
    // Shows the main window.
    virtual void showMainWindow() = 0;
    // Runs the event loop until the user quits.
    virtual void runEventLoop() = 0;

    // Empties the mesh list.
    virtual void clearMeshList() = 0;
    // Appends a row to the mesh list, unselected.
    virtual void addMeshListRow(const std::string& text) = 0;
    // Whether each row of the mesh list is selected, in row order.
    virtual std::vector<bool> meshListSelection() = 0;
    // Asks for the drawing area to be painted again; now, or when the event loop comes to it.
    virtual void invalidateRenderWindow(bool paintNow) = 0;
    // Captures the pointer and the keyboard focus for the drawing area while a drag lasts.
    virtual void beginDrag() = 0;
    virtual void endDrag() = 0;

    // The open dialog. The chosen path and its extension as the dialog reports it (the text after
    // the last dot of the name, empty when there is none); false when cancelled.
    virtual bool askModelFile(std::string& path, std::string& extension) = 0;
    // The "Select a file" picker over the entries that entries names (index, name pairs); the
    // chosen entry index, or -1.
    virtual int pickArchiveEntry(const std::vector<std::pair<std::size_t, std::string>>& entries) = 0;
    // The folder prompt; false when cancelled, otherwise folder is the chosen folder, or unchanged
    // when the choice was no folder of the file system.
    virtual bool askDataFolder(std::string& folder) = 0;
    // An error box: icon, no owner, the system's caption.
    virtual void showError(const std::string& text) = 0;
    // A plain box with the system's caption and no icon.
    virtual void showMessage(const std::string& text) = 0;
    // The About box.
    virtual void showAbout(const std::string& text) = 0;
    // A model was shown, named name (its file, or ARCHIVE:ENTRY), over the data folder's files:
    // for a face that describes the shown model; the Windows program does not.
    virtual void modelShown(const std::string& /*name*/, const Model& /*model*/, FileManager& /*files*/) {}
};
