#pragma once

#include <QDialog>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

class QListWidget;

// The "Select a file" picker: an archive's entries sorted by name, OK and Cancel. OK or a
// double-click picks the current entry; Cancel, Escape or the close box pick none.
class EntryPicker : public QDialog {
public:
    EntryPicker(QWidget* parent, const std::vector<std::pair<std::size_t, std::string>>& entries);

    // Runs the dialog: the picked entry's index, or -1.
    int pick();

private:
    void pickCurrent();

    QListWidget* m_list;
    int m_picked = -1;
};
