#pragma once

#include <QDialog>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

class EntryList;
class QLineEdit;
class QListView;

// The "Select a file" picker: an archive's entries sorted by name, a filter box above them, OK and
// Cancel. OK or a double-click picks the selected entry; Cancel, Escape or the close box pick
// none. Typing narrows the list to the entries that contain the text, ignoring case (in the list,
// typing goes to the filter box); in the filter box the arrow and page keys move in the list.
// Return picks the only entry shown, or the selected one.
class EntryPicker : public QDialog {
public:
    EntryPicker(QWidget* parent, const std::vector<std::pair<std::size_t, std::string>>& entries);

    // Runs the dialog: the picked entry's index, or -1.
    int pick();
    // Shows only the entries that contain text, ignoring case; the selection stays on its entry
    // while that is shown.
    void setFilter(const QString& text);
    // How many entries are shown.
    int shownCount() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Picks the entry in the list's row, when there is one.
    void pickRow(int row);
    // The selected row, or -1.
    int selectedRow() const;

    EntryList* m_entries;
    QLineEdit* m_filter;
    QListView* m_list;
    int m_picked = -1;
};
